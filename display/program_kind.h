// The four programs of the system; where they differ only in data (help
// lines, panel rows, file kinds), the data is looked up by this.
#pragma once

namespace vna {

enum class ProgramKind { ImpedanceAnalyzer, TransmissionAnalyzer, ImpedanceViewer, TransmissionViewer };

}  // namespace vna
