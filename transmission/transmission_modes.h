// The three display modes of the transmission programs (gain in dB with
// phase, gain in linear units with phase, gain in dB with group delay):
// their texts, readout and start-up scales, and the "display:" choices.
#pragma once

#include <span>

#include "display/measurement_profile.h"

namespace vna {

std::span<const ModeSpec> transmissionModes();

// Left: the next choice, skipping the memory choices to "dB,A,R" while no
// memory is stored in the dB mode; right: the previous one.
int stepTransmissionDisplayChoice(int choice, bool forward, int displayMode, bool memoryValid);
// A memory choice without a memory falls back to its choice without it, and
// "dB,A,R" exists only in the dB mode.
int shownTransmissionDisplayChoice(int choice, int displayMode, bool memoryValid);

// The scale pictures, limits and digit steps of the transmission programs.
ScaleFormat transmissionScaleFormat();

// What both transmission programs' screens have: their scales, the title on
// rows 1 to 3 always in its colour, "display:" values at P+13, no
// "overscale" in the readout, the delay aperture row in the delay mode.
void setTransmissionLook(MeasurementProfile& profile);

// The "delay aper:" row of the delay mode: the label and the aperture in
// percent of the range, or the value alone (inverse while hovered).
void drawDelayAperture(Screen& screen, int row, int aperture, int points, bool hovered);
void showDelayAperture(Screen& screen, int row, int aperture, int points, bool hovered);

}  // namespace vna
