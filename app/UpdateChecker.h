// The update checker of this build: it keeps the feed address and the "CheckForUpdates"
// setting and never reaches the network (no update library is linked on this platform).
#pragma once

#include <string>

class IUserPrompts;

class CUpdateChecker {
 public:
  // The appcast feed the maker publishes releases on.
  static constexpr const char* kDefaultFeedUrl = "https://updates.zyrqol.example/orvak/appcast.xml";

  // UI thread, at start-up (address first, then Init) and at exit (Cleanup).
  void SetAppcastUrl(const std::string& url) { m_feedUrl = url; }
  const std::string& GetAppcastUrl() const { return m_feedUrl; }
  // Reads the "CheckForUpdates" setting; a background check would start here when it is on.
  void Init();
  void Cleanup() { m_started = false; }
  bool IsStarted() const { return m_started; }
  // The setting as read by Init (true when the user asked for automatic checks).
  bool GetAutomaticChecks() const { return m_automatic; }

  // The Help command: tells the user that checking is not available here.
  void CheckUpdateWithUi(IUserPrompts& prompts) const;

 private:
  std::string m_feedUrl;
  bool m_started = false;
  bool m_automatic = false;
};
