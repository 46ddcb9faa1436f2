#include "display/help_pages.h"

namespace vna {
namespace {

// Row, column, colour, text; written in this order. "\xEA" is the ohm sign
// and "\xB3" the vertical bar of code page 437.

constexpr HelpLine kImpedanceAnalyzerLines[] = {
    {1, 33, 14, "Help"},
    {3, 4, 15, "To start or stop a scan, press the space-bar or use the start/stop button"},
    {4, 4, 15, "Choose between  - \xB3z\xB3(\xEA) & arg(z)(deg) :impedance (module & phase)"},
    {5, 4, 15, "                - Re(z)(\xEA) & Im(z)(\xEA)  :real part and imaginary part of z"},
    {6, 4, 15, "                - C(pF) & Q(U) :capacitance & quality factor (series model)"},
    {7, 4, 15, "                - L(nH) & Q(U) :inductance & quality factor (series model)"},
    {8, 4, 15, "                - \xB3S11\xB3(dB) & arg(s11)(deg) : s11 module (dB scale) & s11 phase"},
    {9, 4, 15, "                - C(pF) & Q(U) :capacitance & quality factor (parallel model)"},
    {10, 4, 15, "                - L(nH) & Q(U) :inductance & quality factor (parallel model)"},
    {11, 4, 15, "                - C(pF) & R(\xEA) :capacitance & parallel resistance"},
    {12, 4, 15, "                - L(nH) & R(\xEA) :inductance & parallel resistance"},
    {13, 4, 15, "                - \xB3S11\xB3(U) & arg(s11)(deg) : s11 module (linear scale) & s11 phase"},
    {14, 4, 15, "                - \xB3z\xB3(\xEA) : impedance module (log scale)"},
    {15, 4, 15, "Select the number of measurements per scan (meas/scan) : 51, 101, 201, 401 or 801"},
    {16, 4, 15, "When you change the number of measurements per scan, the memory is cleared and the calibration is cleared"},
    {17, 4, 15, "Adjust the scales to your needs: \xEA, deg, pF, nH, U, Hz"},
    {18, 4, 15, "To setup the scales, you can use : k=kHz,m=MHz,n=nF,u=uF,u=uH,m=mH,k=k\xEA,m=M\xEA"},
    {19, 4, 15, "To select between different possibilities, use the mouse buttons (left or right) or the mouse scroll wheel"},
    {20, 4, 15, "To change a number, put the mouse cursor on this number then type the new number + \"enter\""},
    {21, 4, 15, "To increment/decrement a digit of a number, put the mouse cursor on the digit, then move the mouse scroll wheel."},
    {22, 4, 15, "To move the markers, use the mouse."},
    {23, 4, 15, "To calibrate, select \"calibrate: asked\" then \"start calibrate\"."},
    {24, 4, 15, "If calibrate=on and if you change the sweep type (linear/log), then calibrate=warning"},
    {25, 4, 15, "If calibrate=on and if you change the Freq scale, then calibrate=warning :the calibration is perhaps no more usable"},
    {26, 4, 15, "With display, you can choose to display one or two parameters (with or without the data in Memory)"},
    {27, 4, 15, "With length(m) you can add (or remove) an electrical length to the A input (only if calibrate=off)"},
    {28, 4, 15, "To copy marker1 to Freq Min and marker2 to Freq Max, type CTRL+V (it's like a zoom function, but you have to scan again)"},
    {29, 4, 15, "If marker1=marker2 then CTRL+V copies marker1 to Freq Center."},
    {33, 4, 12, "Inputs and outputs are DC coupled, do not put DC voltage on inputs and outputs"},
    {34, 4, 12, "Do not exceed a maximun signal level of +7dBm on inputs A and R."},
    {36, 4, 15, "To get a maximun dynamic range, put the signal at +6dBm"},
    {37, 4, 15, "To get precision , keep the signal under 0dBm and wait the stabilization of the"},
    {38, 4, 15, "temperature"},
};

constexpr HelpLine kTransmissionAnalyzerLines[] = {
    {2, 33, 14, "Help"},
    {4, 4, 15, "To start or stop a scan, press the space-bar or use the start/stop button"},
    {5, 4, 15, "Choose between  - gain & phase ( insertion gain : dB scale & deg scale )"},
    {6, 4, 15, "                - gain & phase ( insertion gain : linear scale & deg scale )"},
    {7, 4, 15, "                - gain & delay ( insertion gain : dB scale & us scale )"},
    {5, 22, 6, "gain & phase"},
    {6, 22, 6, "gain & phase"},
    {7, 22, 6, "gain & delay"},
    {8, 4, 15, "Adjust the scales to your needs: "},
    {8, 37, 6, "dB, U, deg, us, Hz"},
    {8, 56, 15, "(you can use k=kHz, m=MHz)"},
    {9, 4, 15, "Select the number of measurements per scan (meas/scan) : 51, 101, 201, 401, 801"},
    {9, 48, 6, "meas/scan"},
    {10, 4, 15, "To measure delays : choose a delay aperture between 0.25% and 16% of the scan (the lower limit varies with meas/scan)"},
    {10, 33, 6, "delay aperture"},
    {10, 111, 6, "meas/scan"},
    {11, 4, 15, "To select between different possibilities, use the mouse buttons (left or right) or the mouse scroll wheel"},
    {12, 4, 15, "To change a number, put the mouse cursor on this number then type the new number + \"enter\""},
    {13, 4, 15, "To increment/decrement a digit of a number, put the mouse cursor on the digit, then move the mouse scroll wheel."},
    {14, 4, 15, "To move the markers, use the mouse"},
    {15, 4, 15, "To adjust the symmetry between the A input and the R input, use the adjustment button"},
    {16, 4, 15, "To normalize, select normalize: asked, then Start normalize"},
    {16, 25, 6, "normalize: asked"},
    {16, 48, 6, "Start normalize"},
    {17, 4, 15, "If normalize=on and if you change the sweep type (linear/log) or if you change the frequency scale then normalize=warning"},
    {17, 108, 6, "normalize=warning"},
    {18, 4, 15, "(the normalization is perhaps no more usable, if you don't know, it's safer to normalize again)"},
    {19, 4, 15, "When you change the number of measurements per scan, the memory is cleared and the normalization is cleared"},
    {20, 4, 15, "With display, you can choose to display only the gain (with or without Memory)"},
    {20, 9, 6, "display"},
    {21, 4, 15, "With length(m) you can add (or remove) an electrical length to the R input (if normalize=off)"},
    {21, 9, 6, "length(m)"},
    {23, 4, 12, "Inputs and outputs are DC coupled, do not put DC voltage on inputs and outputs"},
    {24, 4, 12, "Do not exceed a maximun signal level of +7dBm on inputs A and R."},
    {26, 4, 15, "To get a maximun dynamic range, put the signal at +6dBm"},
    {27, 4, 15, "To get precision , keep the signal under 0dBm and wait the stabilization of the"},
    {28, 4, 15, "temperature"},
};

constexpr HelpLine kImpedanceViewerLines[] = {
    {2, 33, 14, "Help"},
    {5, 4, 15, "Choose between  - \xB3z\xB3(\xEA) & arg(z)(deg) :impedance (module & phase)"},
    {6, 4, 15, "                - Re(z)(\xEA) & Im(z)(\xEA)  :real part and imaginary part of z"},
    {7, 4, 15, "                - C(pF) & Q(U) :capacitance & quality factor (series model)"},
    {8, 4, 15, "                - L(nH) & Q(U) :inductance & quality factor (series model)"},
    {9, 4, 15, "                - \xB3S11\xB3(dB) & arg(s11)(deg) : s11 module (dB scale) & s11 phase"},
    {10, 4, 15, "                - C(pF) & Q(U) :capacitance & quality factor (parallel model)"},
    {11, 4, 15, "                - L(nH) & Q(U) :inductance & quality factor (parallel model)"},
    {12, 4, 15, "                - C(pF) & R(\xEA) :capacitance & parallel resistance"},
    {13, 4, 15, "                - L(nH) & R(\xEA) :inductance & parallel resistance"},
    {14, 4, 15, "                - \xB3S11\xB3(U) & arg(s11)(deg) : s11 module (linear scale) & s11 phase"},
    {15, 4, 15, "                - \xB3z\xB3(\xEA) : impedance module (log scale)"},
    {17, 4, 15, "If the file extension is s2p , select the parameters to be displayed : input (S11), output (S22) or both"},
    {17, 46, 6, "parameters"},
    {18, 4, 15, "To select between different possibilities, use the mouse buttons (left or right) or the mouse scroll wheel"},
    {19, 4, 15, "To change a number, put the mouse cursor on this number then type the new number + \"enter\""},
    {20, 4, 15, "To increment/decrement a digit of a number, put the mouse cursor on the digit, then move the mouse scroll wheel"},
    {21, 4, 15, "Adjust the scales to your needs: "},
    {21, 37, 6, "\xEA, deg, pF, nH, U, Hz"},
    {22, 4, 15, "To setup the scales, you can use : n=nF,u=uF,u=uH,m=mH,k=k\xEA,m=M\xEA"},
    {23, 4, 15, "To move the markers, use the mouse."},
    {23, 16, 6, "markers"},
    {24, 4, 15, "With display, you can choose to display only the yellow curve"},
    {24, 9, 6, "display"},
    {25, 4, 15, "To get a copy of the screen (a bmp file), use "},
    {25, 50, 6, "Copy Screen to File"},
};

constexpr HelpLine kTransmissionViewerLines[] = {
    {2, 33, 14, "Help"},
    {5, 4, 15, "Choose between  - gain & phase ( insertion gain : dB scale & deg scale )"},
    {6, 4, 15, "                - gain & phase ( insertion gain : linear scale & deg scale )"},
    {7, 4, 15, "                - gain & delay ( insertion gain : dB scale & us scale )"},
    {5, 22, 6, "gain & phase"},
    {6, 22, 6, "gain & phase"},
    {7, 22, 6, "gain & delay"},
    {9, 4, 15, "Select the parameters  to be displayed - S21 ( forward insertion gain )"},
    {10, 4, 15, "                                       - S12 ( reverse insertion gain )"},
    {11, 4, 15, "                                       - S21 & S12"},
    {9, 15, 6, "parameters"},
    {13, 4, 15, "To select between different possibilities, use the mouse buttons (left or right) or the mouse scroll wheel"},
    {14, 4, 15, "To change a number, put the mouse cursor on this number then type the new number + \"enter\""},
    {15, 4, 15, "To increment/decrement a digit of a number, put the mouse cursor on the digit, then move the mouse scroll wheel"},
    {17, 4, 15, "Adjust the scales to your needs: "},
    {17, 37, 6, "dB, U, deg, us "},
    {18, 4, 15, "To measure delays : choose a delay aperture between 0.25% and 16% of the scan (the lower limit varies with meas/scan)"},
    {18, 33, 6, "delay aperture"},
    {18, 111, 6, "meas/scan"},
    {19, 4, 15, "To move the markers, use the mouse"},
    {19, 16, 6, "markers"},
    {20, 4, 15, "With display, you can choose to display only the gain "},
    {20, 9, 6, "display"},
    {22, 4, 15, "To get a copy of the screen (a bmp file), use "},
    {22, 50, 6, "Copy Screen to File"},
};

constexpr HelpPage kImpedanceAnalyzerPage{kImpedanceAnalyzerLines, 14};
// The transmission analyzer polls its help screen faster.
constexpr HelpPage kTransmissionAnalyzerPage{kTransmissionAnalyzerLines, 2};
constexpr HelpPage kImpedanceViewerPage{kImpedanceViewerLines, 14};
constexpr HelpPage kTransmissionViewerPage{kTransmissionViewerLines, 14};

}  // namespace

const HelpPage& impedanceAnalyzerHelp() { return kImpedanceAnalyzerPage; }
const HelpPage& transmissionAnalyzerHelp() { return kTransmissionAnalyzerPage; }
const HelpPage& impedanceViewerHelp() { return kImpedanceViewerPage; }
const HelpPage& transmissionViewerHelp() { return kTransmissionViewerPage; }

}  // namespace vna
