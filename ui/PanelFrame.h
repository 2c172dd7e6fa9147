// The MDI child windows that hold panels: the shared placement record of both frames, and the
// small helpers they share with the panel views. UI thread only.
#pragma once

#include <QMdiSubWindow>
#include <array>
#include <cstdint>

#include "core/file/DataStream.h"
#include "platform/Types.h"

class CSystem;

// Show commands of a stored placement.
inline constexpr std::uint32_t SW_SHOWNORMAL = 1;
inline constexpr std::uint32_t SW_SHOWMINIMIZED = 2;
inline constexpr std::uint32_t SW_SHOWMAXIMIZED = 3;
inline constexpr std::uint32_t SW_MINIMIZE = 6;
inline constexpr std::uint32_t SW_SHOWMINNOACTIVE = 7;

// Ten placement words in the order a custom panel stores them: flags, show command, maximised
// position x, y, minimised position x, y, normal rectangle left, top, right, bottom.
using PlacementWords = std::array<std::int32_t, 10>;
PlacementWords PlacementToWords(const CWindowPlacement& placement);
CWindowPlacement MakeWindowPlacement(const PlacementWords& words);

// The rectangle two corner points span, left not above right and top not above bottom.
CRect NormalizeRect(CPoint a, CPoint b);
bool RectsEqual(const CRect& a, const CRect& b);

class CPanelFrame;
// The panel frame that holds view (a device panel or custom panel view), or null.
CPanelFrame* FindPanelFrame(const QWidget* view);

// A panel frame: keeps the normal rectangle apart from minimised and maximised states and
// turns the window's state into a placement record and back.
class CPanelFrame : public QMdiSubWindow {
 public:
  explicit CPanelFrame(QWidget* parent = nullptr);

  // The frame's placement: show command from its state, the normal rectangle in the MDI
  // area's coordinates (right and bottom exclusive), the minimised position while minimised
  // (else -1, -1), no maximised position (-1, -1).
  CWindowPlacement GetWindowPlacement() const;
  // Moves and sizes the frame to the normal rectangle and takes the stored state.
  void SetWindowPlacement(const CWindowPlacement& placement);

 protected:
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // The user ended a drag of the frame (its move or resize). Base: nothing.
  virtual void OnExitSizeMove() {}
  // The frame became the active panel window. Base: nothing.
  virtual void OnSetFocus() {}

 private:
  void TrackNormalGeometry();

  QRect m_normal;
  CPoint m_minPosition{-1, -1};
};
