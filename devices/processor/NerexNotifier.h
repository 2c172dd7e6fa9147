// CNerexNotifier: the processor's notification sweeps. After a bulk change (a preset recalled, a
// file or snapshot loaded, a clone, a link group changed) every parameter a widget, a custom-panel
// control or a link may be bound to is pushed out again through the base change path, and the
// open panel refreshes its preset list and page. Nothing is sent to the device's own unit, but
// the links hand the values on to their other members, so the sweeps are the family's own: only
// CNerexChangeAccess (NerexChange.h) makes one. UI thread.
#pragma once

class CNerexSeriesDevice;

class CNerexNotifier {
 private:
  friend class CNerexChangeAccess;
  explicit CNerexNotifier(CNerexSeriesDevice& device) : m_device(device) {}

  // Every parameter, then the open panel's preset list and page.
  void NotifyAllParameters();
  // The inputs (outputs) in channel's link group.
  void NotifyInputChannelParameters(int channel);
  void NotifyOutputChannelParameters(int channel);

  void PushParameter(int id);
  // Pieces of the sweeps, each for one channel.
  void PushInputLinks(int input);
  void PushInputDelay(int input);
  void PushInputPeq(int input);
  void PushInputGeq(int input);
  void PushOutputLinks(int output);
  void PushLimiter(int output);
  void PushOutputEqAndFilters(int output);

  CNerexSeriesDevice& m_device;
};
