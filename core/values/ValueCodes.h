// The grids on which values travel to the units and their texts: rounding, frequency codes
// (36 steps per octave from 7.8125 Hz), Q codes (12 steps per doubling, index 0 is Q 128 and
// index 108 is Q 0.25), delay units of 8.138e-5, quarter steps (4 per doubling, index 15 is
// 1.0), and the display and parsing of parameter values with their units.
// Pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/values/ParamRecords.h"

constexpr int kQIndexMax = 108;
// Frequency codes that FormatParameterValue shows as "<10Hz" and ">32kHz".
constexpr int kFreqIndexBelow10Hz = 12;
constexpr int kFreqIndexAbove32kHz = 433;

// Rounding to whole numbers. NaN gives 0; values beyond the int range give its ends.
// Nearest, except that positive exact halves go down and every negative non-integer goes
// down (2.5 -> 2, 2.6 -> 3, -0.25 -> -1).
int RoundIndex(float x);
// Nearest, ties toward minus infinity (2.5 -> 2, -2.5 -> -3, -2.3 -> -2).
int RoundNearestHalfDown(float x);
// Nearest, a fraction of 0.5 or more up (2.5 -> 3, -2.5 -> -2).
int RoundHalfUp(float x);
// Nearest, halves away from zero (2.5 -> 3, -2.5 -> -3).
int RoundHalfAway(float x);

// Frequency in hertz <-> frequency code. A frequency that is not positive gives code 0.
int FreqToIndex(float hertz);
float IndexToFreq(int index);
float SnapFreq(float hertz);

// Q <-> Q code, both kept within 0..108 (a Q that is not positive counts as the smallest Q).
int QToIndex(float q);
float IndexToQ(int index);
float SnapQ(float q);

// Delay time <-> delay units of 8.138e-5: to a multiple of 128 units (coarse) or 4, exact
// halves down. Times that are not positive give 0.
std::uint32_t SecondsToSamples(bool coarse, float seconds);
float SamplesToSeconds(std::uint32_t samples);
float SnapDelayTime(float seconds);

// Quarter-step value <-> index (at least 0; a value that is not positive gives 0).
int QuarterStepToIndex(float x);
float IndexToQuarterStep(int index);

// The display text of a value by the kind of the parameter's current value record: a level
// ("Mute" at or below the minimum when info.options has kParamOptionMuteAtMinimum, else " dB"),
// a frequency (" Hz", "<10Hz", ">32kHz", "1k 50 Hz"), a Q, a delay ("ms"), a phase in whole
// degrees; other kinds give an empty text.
std::string FormatParameterValue(const CParamInfo& info, float value, const CParamValue& current);
// A typed text turned into a value by the kind of the current value record: frequencies
// accept the "1k 50" and "2k5" forms and are snapped to the grid, Q values snapped, delays
// taken in ms, mm, cm, m or ft and snapped; other kinds give the record's current value.
float ParseParameterValue(const CParamValue& current, const std::string& text);

// How a typed text reads as a value of a kind. A value is one number (blanks around it, a
// leading sign, a point, an exponent), followed by nothing but blanks and the units that the
// kind's own texts show: "dB" for levels; "k" with its fraction digits and "Hz" for
// frequencies ("1k 50 Hz", "2k5"); "ms", "mm", "cm", "m" or "ft" for delays; "ms" for times;
// ":1" for ratios; a degree mark for angles; nothing for the other kinds. Letters case-blind.
// kOutOfRange: such a number beyond what a value holds ("1e999", "inf"); kNotANumber: any
// other text, the empty one too ("", "-", ".", "dB", "5x", "nan"). The number, read with a
// decimal point whatever the locale, goes to number when it is one.
enum class ETypedValue { kNumber, kNotANumber, kOutOfRange };
ETypedValue ClassifyTypedValue(ParamKind kind, const std::string& text, double* number = nullptr);
