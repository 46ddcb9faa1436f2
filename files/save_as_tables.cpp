#include <array>

#include "files/save_as_dialog.h"

// What each program's Save As dialog offers, says and warns about.
namespace vna {
namespace {

constexpr std::array<SaveKindChoice, 4> kImpedanceKinds{{
    {SaveKind::s1p, " s1p      "},
    {SaveKind::s2pS11, " s2p (s11)"},
    {SaveKind::s2pS22, " s2p (s22)"},
    {SaveKind::bmp, "  BMP     "},
}};
constexpr std::array<SaveKindChoice, 3> kTransmissionKinds{{
    {SaveKind::s2pS21, " s2p (s21)"},
    {SaveKind::s2pS12, " s2p (s12)"},
    {SaveKind::bmp, "  BMP     "},
}};
constexpr std::array<SaveKindChoice, 1> kViewerKinds{{
    {SaveKind::bmp, "  BMP     "},
}};

constexpr std::array<SaveAsNote, 4> kAcquisitionNotes{{
    {19, "s21 = forward insertion gain"},
    {20, "s12 = reverse insertion gain"},
    {21, "s2p file is used to save the parameters of a two ports device"},
    {22, "BMP file is used to get a copy of the measurement screen"},
}};
constexpr std::array<SaveAsNote, 6> kTransmissionNotes{{
    kAcquisitionNotes[0],
    kAcquisitionNotes[1],
    kAcquisitionNotes[2],
    kAcquisitionNotes[3],
    {24, "If the file xxxxxxxx.s2p already exists, then the parameter (s21 or s12) is"},
    {25, "added to the existing file ."},
}};

constexpr ExistingFileWarning kBmpOverwritten{".bmp", 32, "If you save as \"bmp\", then the file will be overwritten."};
constexpr std::array<ExistingFileWarning, 3> kImpedanceWarnings{{
    {".s1p", 30, "If you save as \"s1p\", then the file will be overwritten."},
    kBmpOverwritten,
    {".s2p", 34, "If you save as \"s2p(s11) or s2p(s22)\", then the data (s11 or s22) will be added to the file."},
}};
constexpr std::array<ExistingFileWarning, 2> kTransmissionWarnings{{
    kBmpOverwritten,
    {".s2p", 34, "If you save as \"s2p(s21) or s2p(s12)\", then the data (s21 or s12) will be added to the file."},
}};
constexpr std::array<ExistingFileWarning, 1> kViewerWarnings{{
    {".bmp", 32, "So, this file will be overwritten."},
}};

constexpr SaveAsTable kImpedanceAnalyzerTable{
    .kinds = kImpedanceKinds,
    .openingLabel = "  s1p     ",
    .origin = FileOrigin::impedanceAnalyzer,
    .notes = kAcquisitionNotes,
    .warnings = kImpedanceWarnings,
    .existsEnding = " already exists",
};
constexpr SaveAsTable kTransmissionAnalyzerTable{
    .kinds = kTransmissionKinds,
    .openingLabel = " s2p(s21) ",
    .origin = FileOrigin::transmissionAnalyzer,
    .notes = kTransmissionNotes,
    .warnings = kTransmissionWarnings,
    .existsEnding = " already exists",
};
// The viewers save no Touchstone file; their origin is never used.
constexpr SaveAsTable kImpedanceViewerTable{
    .kinds = kViewerKinds,
    .openingLabel = "  bmp     ",
    .origin = FileOrigin::impedanceAnalyzer,
    .notes = {},
    .warnings = kViewerWarnings,
    .existsEnding = " already exists.",
};
constexpr SaveAsTable kTransmissionViewerTable{
    .kinds = kViewerKinds,
    .openingLabel = " bmp       ",
    .origin = FileOrigin::transmissionAnalyzer,
    .notes = {},
    .warnings = kViewerWarnings,
    .existsEnding = " already exists.",
};

}  // namespace

const SaveAsTable& impedanceAnalyzerSaveAs() { return kImpedanceAnalyzerTable; }
const SaveAsTable& transmissionAnalyzerSaveAs() { return kTransmissionAnalyzerTable; }
const SaveAsTable& impedanceViewerSaveAs() { return kImpedanceViewerTable; }
const SaveAsTable& transmissionViewerSaveAs() { return kTransmissionViewerTable; }

}  // namespace vna
