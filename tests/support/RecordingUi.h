// The UI services as tests see them: every post recorded, message boxes and file errors kept as
// texts, confirmations answered by a question box the test gives (refused without one).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/model/Confirm.h"
#include "core/model/UiServices.h"
#include "platform/WindowMessages.h"

class CRecordingUi : public IUiServices {
 public:
  using Texts = std::vector<std::pair<std::string, std::string>>;  // (text, caption)

  bool Post(CPostedMessage message) override { return m_sink.Post(std::move(message)); }
  std::vector<CPostedMessage> Messages() const { return m_sink.Messages(); }
  std::vector<CPostedMessage> Take() { return m_sink.Take(); }
  std::size_t Count(std::uint32_t message) const { return m_sink.Count(message); }

  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_boxes.emplace_back(text, caption);
  }
  bool AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                  bool& neverAgain) override {
    return m_confirm && m_confirm(caption, question, okText, neverAgain);
  }
  // The property pickers: none runs, nothing is chosen.
  bool PickImage(IImageStore*, CCCImageBase*&) override { return false; }
  bool PickParameter(IZonedDevices*, CCustomControlObject*) override { return false; }
  bool PickColour(std::uint32_t&) override { return false; }
  bool PickFont(CLogFont&) override { return false; }
  void ShowFileError(const std::string& text, const std::string& caption) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileErrors.emplace_back(text, caption);
  }

  // The question box that answers confirmations (anything with AskConfirm); null refuses them.
  template <class Prompt>
  void SetConfirmPrompt(Prompt* prompt) {
    m_confirm = nullptr;
    if (prompt)
      m_confirm = [prompt](const std::string& caption, const std::string& question, const std::string& okText,
                           bool& neverAgain) { return prompt->AskConfirm(caption, question, okText, neverAgain); };
  }
  Texts MessageBoxes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
  }
  Texts FileErrors() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fileErrors;
  }
  void ClearFileErrors() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileErrors.clear();
  }

 private:
  CRecordingSink m_sink;
  std::function<bool(const std::string&, const std::string&, const std::string&, bool&)> m_confirm;
  mutable std::mutex m_mutex;
  Texts m_boxes;
  Texts m_fileErrors;
};
