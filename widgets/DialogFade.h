// The opacity ramp of the skinned dialogs: 0.07 a tick towards the target opacity while fading
// in, and down to the end of the dialog while fading out. No window: the dialog applies the
// opacity and runs the timer; tests step it directly.
#pragma once

#include <cstdint>

class CDialogFade {
 public:
  // What the dialog does after a tick.
  enum class Tick {
    kApplied,  // a new opacity: apply it, keep the timer
    kStop,     // the fade-in reached its target: stop the timer
    kEnd,      // the fade-out is done: stop the timer and end the dialog
  };

  static constexpr float kStep = 0.07f;
  // The fade-out ends on the first tick that finds the opacity at or below this.
  static constexpr float kEndOpacity = 0.08f;
  static constexpr float kDefaultTarget = 0.9f;

  Tick Step();
  // From now on the ticks fade out, from the opacity reached so far.
  void StartFadeOut() { m_fadingIn = false; }
  void Reset() {
    m_opacity = 0.0f;
    m_fadingIn = true;
  }

  float GetOpacity() const { return m_opacity; }
  // The layered window's opacity byte: opacity x 255, truncated.
  std::uint8_t GetOpacityByte() const { return std::uint8_t(m_opacity * 255.0f); }
  bool IsFadingIn() const { return m_fadingIn; }
  float GetTarget() const { return m_target; }
  void SetTarget(float target) { m_target = target; }

 private:
  float m_opacity = 0.0f;
  float m_target = kDefaultTarget;
  bool m_fadingIn = true;
};
