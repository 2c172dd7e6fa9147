// Parameter ids of the processor family: the first id of each block. Within a block the
// offset gives the channel (and band); the comment says how.
#pragma once

#include <cstdint>

enum ENerexParamId : std::int32_t {
  kParamInputGain = 13,            // + input (0..3)
  kParamOutputGain = 17,           // + output (0..7)
  kParamInputMute = 25,            // + input
  kParamOutputMute = 29,           // + output
  kParamOutputPhase = 37,          // + output
  kParamDeviceName = 58,
  kParamInputName = 128,           // + input
  kParamOutputName = 132,          // + output
  kParamInputDelay = 249,          // + input
  kParamOutputDelay = 253,         // + output
  kParamDelayUnits = 261,
  kParamDelayMultiplier = 262,
  kParamMatrixGain = 263,          // + 4 x output + input
  kParamLimiterLevel = 299,        // + output
  kParamLimiterClipLevel = 307,    // + output
  kParamLimiterAttack = 315,       // + output
  kParamLimiterRelease = 323,      // + output
  kParamLimiterClipRelease = 331,  // + output
  kParamInputLinkBit = 339,        // + 4 x input + linked input
  kParamOutputLinkBit = 355,       // + 8 x output + linked output
  kParamAutoLimiters = 422,
  kParamMatrixRouting = 439,       // + 4 x output + input
  kParamInputPeqFrequency = 508,   // + 8 x input + band
  kParamInputPeqQ = 540,
  kParamInputPeqGain = 572,
  kParamInputPeqType = 604,
  kParamInputPeqBypass = 636,
  kParamOutputPeqFrequency = 700,  // + 9 x output + band
  kParamOutputPeqQ = 772,
  kParamOutputPeqGain = 844,
  kParamOutputPeqType = 916,
  kParamOutputPeqBypass = 988,
  kParamHighPassFrequency = 1100,  // + output
  kParamLowPassFrequency = 1108,   // + output
  kParamHighPassType = 1116,       // + output
  kParamLowPassType = 1124,        // + output
  kParamGeqBand = 1200,            // + 28 x input + band
  kParamGeqBypass = 1312,          // + input
  kParamGeqMode = 1316,            // + input
  kParamGeqFlatten = 1320,         // + input: all of the input's bands to 0 dB
  kParamOnlineStatus = 1352,
  kParamOfflineStatus = 1353,
  kParamWarningsActive = 1354,
  kParamCompressorThreshold = 1364,  // + output
  kParamCompressorRatio = 1372,
  kParamCompressorAttack = 1380,
  kParamCompressorRelease = 1388,
  kParamCompressorSoftKnee = 1396,
  kParamCompressorBypass = 1404,
  kParamCompressorLimiters = 1444,
  kParamDeqThreshold = 1446,       // + 3 x input + band
  kParamDeqRatio = 1458,
  kParamDeqAttack = 1470,
  kParamDeqRelease = 1482,
  kParamDeqMode = 1494,            // the band's mode byte (cut/boost, above/below)
  kParamDeqFilterKind = 1506,      // the band's filter kind byte
  kParamDeqBypass = 1518,
  kParamDeqFrequency = 1530,
  kParamDeqEffect = 1542,
  kParamDeqQ = 1554,
  kParamDynamicEqMode = 1590,
  kParamDynamicEqLinking = 1591,
  kParamGainNudge = 1594,
  kParamMixerOn = 1595,
  kParamMixerOff = 1596,
};

// The preset actions (a change of one carries no value): the Fennick panel's buttons, the
// preset display's, the preset manager and its dialog's buttons. Each needs the right to
// recall presets.
enum ENerexPresetActionId : std::int32_t {
  kPresetActionStore = 420,
  kPresetActionRecall = 421,
  kPresetActionRename = 423,
  kPresetActionSaveFile = 424,
  kPresetActionLoadFile = 425,
  kPresetActionTimed = 426,
  kPresetActionDelete = 427,
  kPresetActionLcdRecall = 436,
  kPresetActionLcdNext = 437,
  kPresetActionLcdPrevious = 438,
  kPresetActionManager = 495,
  kPresetActionDialogStore = 497,
  kPresetActionDialogRecall = 498,
  kPresetActionDialogName = 499,
  kPresetActionDialogClear = 500,
};

inline bool IsPresetActionId(int id) {
  switch (id) {
    case kPresetActionStore:
    case kPresetActionRecall:
    case kPresetActionRename:
    case kPresetActionSaveFile:
    case kPresetActionLoadFile:
    case kPresetActionTimed:
    case kPresetActionDelete:
    case kPresetActionLcdRecall:
    case kPresetActionLcdNext:
    case kPresetActionLcdPrevious:
    case kPresetActionManager:
    case kPresetActionDialogStore:
    case kPresetActionDialogRecall:
    case kPresetActionDialogName:
    case kPresetActionDialogClear: return true;
    default: return false;
  }
}

// Ids the processor takes no action on, as the panels' own widgets carry them: a change of one
// only marks the file modified.
enum : std::int32_t {
  kNoActionPresetList = 419,      // the Fennick panel's list; the preset actions read its choice
  kNoActionPicturesFirst = 428,   // pictures and captions, to the compact page (435)
  kNoActionPicturesLast = 435,
  kNoActionPanelPartsFirst = 471,  // strips, sections, page pictures and the model legend
  kNoActionPanelPartsLast = 494,
  kNoActionPresetCount = 496,
};
