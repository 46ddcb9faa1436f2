// How long the analysis of a component's impedance sweep takes: the
// resonances, the fit of each model, and the choice among all of them, on
// 801 points (a scan) and on 100,001 points (a long file). Prints CPU time;
// asserts nothing (the machines are shared and noisy: medians of repeats).
//
// Usage: equivalent_circuit_benchmark [repeats, default 9]
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "reflection/equivalent_circuits.h"
#include "reflection/resonances.h"

namespace {

using namespace vna;

double cpuSeconds() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double medianCpu(int repeats, const std::function<void()>& work) {
  std::vector<double> times;
  for (int k = 0; k < repeats; ++k) {
    const double start = cpuSeconds();
    work();
    times.push_back(cpuSeconds() - start);
  }
  std::nth_element(times.begin(), times.begin() + repeats / 2, times.end());
  return times[static_cast<std::size_t>(repeats / 2)];
}

struct Part {
  const char* name;
  double low, high;
  std::function<Complex(double w)> impedance;
};

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const Complex j{0, 1};
  const Part parts[] = {
      {"crystal 10 MHz", 9.98e6, 10.04e6,
       [=](double w) { return 1.0 / (1.0 / (10.0 + j * w * 10e-3 + 1.0 / (j * w * 25.33e-15)) + j * w * 5e-12); }},
      {"capacitor 100 nF", 1e3, 60e6, [=](double w) { return 0.02 + j * w * 5e-9 + 1.0 / (j * w * 100e-9); }},
      {"coil 10 uH", 10e3, 90e6, [=](double w) { return 1.0 / (1.0 / (0.5 + j * w * 10e-6) + j * w * 2e-12); }},
  };
  std::printf("CPU time, median of %d runs\n", repeats);
  for (const int points : {801, 100001}) {
    for (const Part& part : parts) {
      std::vector<double> f;
      std::vector<Complex> z;
      std::mt19937_64 engine(1);
      std::normal_distribution<double> noise(0, 1e-3);
      for (int i = 0; i < points; ++i) {
        f.push_back(part.low * std::pow(part.high / part.low, i / (points - 1.0)));
        z.push_back(part.impedance(2 * 3.1415926 * f.back()) * (1.0 + Complex(noise(engine), noise(engine))));
      }
      std::printf("%7d points, %-17s resonances %8.2f ms", points, part.name,
                  1e3 * medianCpu(repeats, [&] { findResonances(f, z); }));
      for (const CircuitModel model : kCircuitModels)
        std::printf("  %s %.2f", circuitModelName(model).data(),
                    1e3 * medianCpu(repeats, [&] { fitCircuit(model, f, z); }));
      ModelChoice choice;
      const double choose = medianCpu(repeats, [&] { choice = chooseModel(f, z); });
      std::printf("  | choice of model %.2f ms (%s)\n", 1e3 * choose, choice.reason.c_str());
    }
  }
  return 0;
}
