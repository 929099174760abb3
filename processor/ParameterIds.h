#pragma once

/** The host parameter IDs. Stored states and preset files carry these strings, so they never change. */
namespace ParameterIds
{
inline constexpr const char* output = "outputKnob";
inline constexpr const char* drive = "driveKnob";
inline constexpr const char* inputTrim = "intrimKnob";
inline constexpr const char* outputTrim = "outtrimKnob";
inline constexpr const char* dryMix = "drymixKnob";
inline constexpr const char* lowPass = "lpKnob";
inline constexpr const char* highPass = "hpKnob";
inline constexpr const char* boost = "boostKnob";
inline constexpr const char* autoGain = "linkOnOfFButton";
inline constexpr const char* ultraMode = "ultraXButton";
inline constexpr const char* power = "poweRButton";
} // namespace ParameterIds
