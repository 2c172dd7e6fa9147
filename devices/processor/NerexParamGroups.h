// The parameter ids of one channel's groups (links, PEQ bands, dynamic EQ, limiter,
// crossover), each in the order that the notification sweeps and the paste announce them:
// f(id) is called for every id of the group.
#pragma once

#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesMemory.h"

template <typename F>
void ForEachInputLinkId(int input, F f) {
  for (int k = 0; k < kNerexMaxInputs; ++k) f(kParamInputLinkBit + 4 * input + k);
}

template <typename F>
void ForEachInputPeqId(int input, F f) {
  for (int b = 0; b < kNerexInputPeqBands; ++b) {
    const int n = kNerexInputPeqBands * input + b;
    for (int first : {kParamInputPeqFrequency, kParamInputPeqQ, kParamInputPeqGain, kParamInputPeqType,
                      kParamInputPeqBypass})
      f(first + n);
  }
}

template <typename F>
void ForEachDeqId(int input, F f) {
  for (int b = 0; b < kNerexDeqBandsPerInput; ++b) {
    const int n = kNerexDeqBandsPerInput * input + b;
    for (int first : {kParamDeqThreshold, kParamDeqRatio, kParamDeqAttack, kParamDeqRelease, kParamDeqMode,
                      kParamDeqBypass, kParamDeqFrequency, kParamDeqEffect, kParamDeqQ})
      f(first + n);
  }
}

template <typename F>
void ForEachOutputLinkId(int output, F f) {
  for (int k = 0; k < kNerexMaxOutputs; ++k) f(kParamOutputLinkBit + 8 * output + k);
}

template <typename F>
void ForEachLimiterId(int output, F f) {
  for (int first : {kParamLimiterLevel, kParamLimiterClipLevel, kParamLimiterAttack, kParamLimiterRelease,
                    kParamLimiterClipRelease})
    f(first + output);
}

template <typename F>
void ForEachOutputPeqId(int output, F f) {
  for (int b = 0; b < kNerexOutputPeqBands; ++b) {
    const int n = kNerexOutputPeqBands * output + b;
    for (int first : {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain, kParamOutputPeqType,
                      kParamOutputPeqBypass})
      f(first + n);
  }
}

template <typename F>
void ForEachCrossoverId(int output, F f) {
  for (int first : {kParamHighPassFrequency, kParamLowPassFrequency, kParamHighPassType, kParamLowPassType})
    f(first + output);
}
