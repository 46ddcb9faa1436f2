#include "analyzer/measure_program.h"

#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analyzer/calibration_file.h"
#include "analyzer/measure_analyze.h"
#include "analyzer/measure_convert.h"
#include "analyzer/measure_notes.h"
#include "analyzer/measure_output_files.h"
#include "analyzer/point_inputs.h"
#include "analyzer/quantity_feed.h"
#include "analyzer/quantity_output.h"
#include "analyzer/sweep_average.h"
#include "analyzer/sweep_engine.h"
#include "files/atomic_file.h"
#include "files/settings_file.h"
#include "files/touchstone_writer.h"
#include "platform/program_version.h"

namespace vna {
namespace {

namespace fs = std::filesystem;
using SweepPoints = std::vector<ConvertedPoint>;

// A reason that does not name the file it concerns (a merge refused for the
// file's contents) gets the name in front: a script writing several files
// must learn which one failed.
std::string namingFile(const fs::path& file, const std::string& reason) {
  if (reason.find(file.filename().string()) != std::string::npos) return reason;
  const std::size_t first = reason.find_first_not_of(' '), last = reason.find_last_not_of(' ');
  return file.string() + ": " + (first == std::string::npos ? reason : reason.substr(first, last - first + 1));
}

// The analyzers' own values from "configu", those a command line names
// instead; a missing or damaged file gives the defaults and is left alone.
SettingsFile settingsFor(const MeasureOptions& o, const fs::path& directory) {
  SettingsFile s = usableSettings(readSettings(directory / kSettingsFileName).value_or(SettingsFile{}));
  if (o.portOverride) s.portNumber = static_cast<std::int16_t>(*o.portOverride);
  if (o.loadOverride) {
    s.refR = static_cast<float>(o.loadOverride->refR);
    s.refL = static_cast<float>(o.loadOverride->refL);
    s.refC = static_cast<float>(o.loadOverride->refC);
  }
  return s;
}

// The calibration a command starts from: the file's, checked against the
// plan, or a new one when calibrating into a file not there yet.
struct CalibrationStart {
  std::optional<Calibration> calibration;
  std::string problem;
};

CalibrationStart calibrationFor(const MeasureOptions& o, const fs::path& file) {
  std::error_code error;
  const bool measuring = o.command == MeasureCommand::Calibrate || o.command == MeasureCommand::Normalize;
  if (measuring && !fs::exists(file, error)) return {Calibration{}, {}};
  const ReadResult read = readWholeFile(file);
  if (!read.bytes) return {std::nullopt, read.reason};
  CalibrationReading reading = readCalibration(*read.bytes);
  if (!reading.calibration) return {std::nullopt, file.filename().string() + ": " + reading.reason};
  if (const std::string differs = planDifference(reading.calibration->plan, o.plan); !differs.empty())
    return {std::nullopt, file.filename().string() + ": " + differs +
                              "; sweep the calibration's plan, or calibrate again over this one"};
  return {std::move(reading.calibration), {}};
}

// The one progress line on a terminal: where the run is and the time left.
// "sweep 2/3" counts the files of --sweeps; with --average it counts the
// sweeps of the mean, and the file is named apart ("file 2/3") when there
// are several.
class Progress {
 public:
  Progress(MeasureSetting& s, int files, int average, int points)
      : s_(s), files_(files), average_(average), points_(points), start_(s.host.now()) {}
  void point(int file, int sweep, int index) {
    if (!s_.progress) return;
    const int done = (file * average_ + sweep) * points_ + index + 1, all = files_ * average_ * points_;
    const double left = (s_.host.now() - start_) / done * (all - done);
    char where[64];
    if (average_ == 1)
      std::snprintf(where, sizeof where, "sweep %d/%d", file + 1, files_);
    else if (files_ == 1)
      std::snprintf(where, sizeof where, "sweep %d/%d", sweep + 1, average_);
    else
      std::snprintf(where, sizeof where, "file %d/%d, sweep %d/%d", file + 1, files_, sweep + 1, average_);
    std::fprintf(s_.err, "\rvna-measure: %s, point %d/%d, %.0f s left   ", where, index + 1, points_, std::ceil(left));
    std::fflush(s_.err);
  }
  ~Progress() {
    if (s_.progress) std::fprintf(s_.err, "\n");
  }

 private:
  MeasureSetting& s_;
  int files_, average_, points_;
  double start_;
};

// How the instrument failed a point twice, and what the user is told.
enum class ReplyFault { None, Incomplete, Damaged };

std::string_view replyFaultText(ReplyFault fault) {
  switch (fault) {
    case ReplyFault::Incomplete:
      return " answered with incomplete replies (fewer bytes than a point has, twice, also after reopening the "
             "port): check the cable and the USB converter, then run again";
    case ReplyFault::Damaged:
      return " answered with damaged replies (bytes that are no measurement, twice, also after reopening the "
             "port): check the cable and the USB converter, then run again";
    case ReplyFault::None: break;
  }
  return " does not answer (no reply within 7 s, twice, also after reopening the port): check that it is powered "
         "and connected, then run again";
}

// The instrument on its port, reset, and the sweep engine on it.
class Measurement {
 public:
  Measurement(MeasureSetting& s, const SettingsFile& settings, const SweepPlan& plan)
      : s_(s), settings_(settings), plan_(plan), frequency_(static_cast<std::size_t>(plan.points) + 2) {
    link_.portNumber = settings.portNumber;
    link_.clockHz = settings.clockHz;
    link_.sampleCode = plan.sampleCode;
    buildFrequencyList(plan, frequency_);
  }

  // False with the reason when the port cannot be opened.
  bool open(std::string& reason) {
    channel_ = s_.openChannel(link_.portNumber);
    engine_.emplace(link_, *channel_, s_.host, AcquisitionPacing{});
    if (!channel_->open()) {
      reason = channel_->name() + " cannot be opened: connect the instrument, check that the port is yours (ls -l " +
               channel_->name() + "), or name another with --port";
      return false;
    }
    // The converter needs a moment after opening before the instrument listens.
    s_.host.sleep(1500);
    engine_->instrument().resetInstrument();
    engine_->start(frequency_, 0);
    return true;
  }

  // `count` sweeps back to back into `average`: the look-ahead of each
  // sweep runs on into the next, so they follow at the instrument's pace.
  // `lastSweep` gets each point of the last sweep as it is measured, the
  // sweeps before it in `average`.
  using LastSweepPoint = std::function<void(const SweepAverage& before, int index, const ConvertedPoint& point)>;
  MeasureExit average(SweepAverage& average, int count, Progress& progress, int file, std::string& reason,
                      const LastSweepPoint& lastSweep) {
    SweepPoints points;
    for (int k = 0; k < count; ++k) {
      const auto measured = [&](int index, const ConvertedPoint& point) {
        if (k == count - 1 && lastSweep) lastSweep(average, index, point);
      };
      if (const MeasureExit e = sweep(points, progress, file, k, reason, measured); e != MeasureExit::Ok) return e;
      average.add(points);
    }
    return MeasureExit::Ok;
  }

  // The plan's frequencies, without the look-ahead's two.
  std::span<const double> frequencies() const {
    return std::span(frequency_).first(static_cast<std::size_t>(plan_.points));
  }

 private:
  // One sweep's points; after a time-out the port is reset and this sweep
  // (not the whole average) measured again once, as the analyzers do. A
  // damaged reply (bytes that are no samples: stray bytes before the reply,
  // or noise on the line) is met the same way: a file of such points would
  // be a failure shown as success.
  MeasureExit sweep(SweepPoints& points, Progress& progress, int file, int sweepIndex, std::string& reason,
                    const std::function<void(int, const ConvertedPoint&)>& measured) {
    ReplyFault fault = ReplyFault::None;
    for (int attempt = 0; attempt < 2; ++attempt) {
      points.assign(static_cast<std::size_t>(plan_.points), ConvertedPoint{});
      const Acquired a = measureSweep(*engine_, frequency_, plan_.points, settings_.arGain, settings_.arPhase,
                                      [&](const MeasuredPoint& p) {
                                        points[static_cast<std::size_t>(p.index)] = p.converted;
                                        measured(p.index, p.converted);
                                        progress.point(file, sweepIndex, p.index);
                                      });
      if (a == Acquired::Point) return MeasureExit::Ok;
      if (a == Acquired::Abandoned || s_.interrupted()) return MeasureExit::Interrupted;
      fault = a == Acquired::Damaged   ? ReplyFault::Damaged
              : link_.rxBuffer.empty() ? ReplyFault::None
                                       : ReplyFault::Incomplete;
      channel_->close();
      s_.host.sleep(1200);
      if (!engine_->instrument().reopen()) {
        reason = channel_->name() + " went away and cannot be opened again: check the USB cable, then run again";
        return MeasureExit::NoInstrument;
      }
      s_.host.sleep(1600);
      engine_->start(frequency_, 0);
    }
    reason = "the instrument on " + channel_->name() + std::string(replyFaultText(fault));
    return MeasureExit::Silent;
  }

  MeasureSetting& s_;
  const SettingsFile& settings_;
  const SweepPlan& plan_;
  std::vector<double> frequency_;
  InstrumentLink link_;
  std::unique_ptr<SerialChannel> channel_;
  std::optional<SweepEngine> engine_;
};

// What Ctrl+C leaves: the files of the finished sweeps, named.
std::string interruptedText(const std::vector<std::string>& written, int average) {
  if (written.empty()) return "interrupted: nothing written";
  std::string names;
  for (const std::string& name : written) names += (names.empty() ? "" : ", ") + name;
  return "interrupted: " + names + (written.size() == 1 ? " was" : " were") + " written; the " +
         (average > 1 ? "average" : "sweep") + " under way was not";
}

// Without a calibration the values carry the instrument's own errors.
std::string uncorrectedText(const MeasureOptions& o) {
  const std::string what = "no --cal: the values are uncorrected, the instrument's own errors are in them; ";
  if (o.command == MeasureCommand::Reflection)
    return what + "to correct them, run calibrate open, short and load with --cal FILE, then reflection --cal FILE";
  return what + "to correct them, run normalize --cal FILE with a through connected, then transmission --cal FILE";
}

}  // namespace

int reportFailure(const MeasureOptions& o, MeasureSetting& s, MeasureExit status, const std::string& message) {
  std::fprintf(s.err, "vna-measure: %s\n", message.c_str());
  // A script reading the feed learns from the feed itself how the run ended.
  if (o.format == OutputFormat::JsonLines && o.output == "-") {
    const std::string line = jsonErrorLine(message, static_cast<int>(status));
    std::fwrite(line.data(), 1, line.size(), s.out);
    std::fflush(s.out);
  }
  return static_cast<int>(status);
}

int runMeasure(const MeasureOptions& o, MeasureSetting& s) {
  if (!o.ok()) {
    const bool quantities = o.error.starts_with("--quantities");
    return reportFailure(o, s, MeasureExit::BadArguments,
                         o.error + (quantities ? " (vna-measure --quantities help lists them)"
                                               : " (vna-measure --help lists the options)"));
  }
  if (o.command == MeasureCommand::Help) {
    std::fputs(measureUsage().c_str(), s.out);
    return 0;
  }
  if (o.command == MeasureCommand::Version) {
    std::fputs(versionText("vna-measure").c_str(), s.out);
    return 0;
  }
  if (o.command == MeasureCommand::QuantityHelp) {
    std::fputs(quantitiesHelp().c_str(), s.out);
    return 0;
  }
  if (o.command == MeasureCommand::Convert) return runConvert(o, s);
  if (o.command == MeasureCommand::Analyze) return runAnalyze(o, s);
  if (const std::string problem = outputFolderProblem(o, s.directory); !problem.empty())
    return reportFailure(o, s, MeasureExit::CannotWrite, problem);
  const SettingsFile settings = settingsFor(o, s.directory);
  std::optional<Calibration> cal;
  if (o.calFile) {
    CalibrationStart start = calibrationFor(o, s.directory / *o.calFile);
    if (!start.calibration) return reportFailure(o, s, MeasureExit::BadCalibration, start.problem);
    cal = std::move(start.calibration);
    const bool reflection = o.command == MeasureCommand::Reflection;
    if (reflection && !(cal->open && cal->shortCircuit && cal->load))
      return reportFailure(o, s, MeasureExit::BadCalibration,
                           o.calFile->string() + " lacks a standard: calibrate with open, short and load first");
    if (o.command == MeasureCommand::Transmission && !cal->through)
      return reportFailure(o, s, MeasureExit::BadCalibration,
                           o.calFile->string() + " holds no through: normalize first");
  }
  const bool measuring = o.command == MeasureCommand::Reflection || o.command == MeasureCommand::Transmission;
  if (measuring && !o.calFile && !o.quiet) std::fprintf(s.err, "vna-measure: %s\n", uncorrectedText(o).c_str());

  if (const std::optional<Refusal> refused = mergeTargetRefusal(o, s.directory))
    return reportFailure(o, s, refused->status, refused->message);

  Measurement m(s, settings, o.plan);
  std::string reason;
  if (!m.open(reason)) return reportFailure(o, s, MeasureExit::NoInstrument, reason);
  const int sweeps = measuring ? o.sweeps : 1;
  Progress progress(s, sweeps, o.average, o.plan.points);
  std::vector<std::string> written;  // as the user named them, for the message of Ctrl+C
  const bool quantities = measuring && o.format && *o.format != OutputFormat::Touchstone;
  for (int k = 0; k < sweeps; ++k) {
    SweepAverage average(o.plan.points);
    // Derived quantities: the header before the first sweep, each point as
    // soon as it is final.
    std::optional<QuantityOutput> output;
    std::optional<QuantityFeed> feed;
    if (quantities) {
      output.emplace(*o.format, ColumnSet{chosenQuantities(*o.quantities), o.average >= 2},
                     *o.output == "-" ? fs::path() : outputFile(o, s.directory, k), s.out);
      feed.emplace(o, cal, m.frequencies(), *output);
      if (const SaveResult r = output->begin(runDescription(o, cal, isoLocalTime(std::time(nullptr)))); !r)
        return reportFailure(o, s, MeasureExit::CannotWrite, r.reason());
    }
    Measurement::LastSweepPoint lastSweep;
    if (feed)
      lastSweep = [&](const SweepAverage& before, int i, const ConvertedPoint& p) { feed->measured(before, i, p); };
    if (const MeasureExit e = m.average(average, o.average, progress, k, reason, lastSweep); e != MeasureExit::Ok)
      return reportFailure(o, s, e, e == MeasureExit::Interrupted ? interruptedText(written, o.average) : reason);
    const std::vector<std::string> notes = measurementNotes(isoLocalTime(std::time(nullptr)), o, cal);
    SaveResult saved = SaveResult::success();
    fs::path file;
    switch (o.command) {
      case MeasureCommand::Calibrate:
      case MeasureCommand::Normalize: {
        Calibration next = *cal;
        next.plan = o.plan;
        next.clockHz = settings.clockHz;
        next.arGain = settings.arGain;
        next.arPhase = settings.arPhase;
        if (o.command == MeasureCommand::Normalize) {
          next.through = average.means();
          next.throughSpread = average.spread();
        } else {
          // The reference load's values belong to the load standard: an
          // open or short measured later keeps those it was measured with.
          if (o.standard == Standard::Load || !next.load) {
            next.refR = settings.refR;
            next.refL = settings.refL;
            next.refC = settings.refC;
          }
          const bool open = o.standard == Standard::Open, shortCircuit = o.standard == Standard::Short;
          (open ? next.open : shortCircuit ? next.shortCircuit : next.load) = average.means();
          (open ? next.openSpread : shortCircuit ? next.shortSpread : next.loadSpread) = average.spread();
        }
        file = s.directory / *o.calFile;
        saved = saveCalibration(file, next);
        break;
      }
      case MeasureCommand::Reflection:
      case MeasureCommand::Transmission: {
        file = outputFile(o, s.directory, k);
        saved =
            feed ? feed->finish(average)
                 : writePoints(o, s, file, filePoints(o.command, sweepInputs(o, cal, m.frequencies(), average)), notes);
        break;
      }
      case MeasureCommand::Convert:
      case MeasureCommand::Analyze:
      case MeasureCommand::Help:
      case MeasureCommand::Version:
      case MeasureCommand::QuantityHelp: break;
    }
    if (!saved) {
      const bool toStdout = o.output && *o.output == "-";
      return reportFailure(o, s, MeasureExit::CannotWrite,
                           toStdout ? saved.reason() : namingFile(file, saved.reason()));
    }
    if (measuring && *o.output != "-") written.push_back(outputFile(o, {}, k).string());
  }
  return 0;
}

}  // namespace vna
