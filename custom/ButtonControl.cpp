// The button and LED widgets' records, state and references.
#include "custom/ButtonControl.h"

#include <algorithm>

#include "core/model/UiServices.h"
#include "custom/CPData.h"
#include "core/model/Device.h"
#include "core/file/DataStream.h"
#include "core/file/ImageTree.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "custom/CustomPanelHost.h"
#include "core/draw/RoundedBox.h"
#include "core/support/SystemMessages.h"
#include "custom/WidgetDrawing.h"
#include "platform/Archive.h"
#include "platform/Graphics.h"
#include "platform/MouseMessages.h"
#include "platform/Image.h"
#include "platform/WindowMessages.h"

namespace {
constexpr std::uint32_t kButtonRecordVersion = 2;
constexpr std::uint32_t kButtonRecordVersion1 = 1;

// Posted, never sent: the panel opens or the recall runs after the mouse handler returned, so
// the message names its panel or snapshot by UUID and the frame looks it up again; it names the
// button by handle, for the frame to say there what the recall could not do.
void PostById(ICustomPanelHost& host, std::uint32_t message, const CUuid& id, std::uint64_t button) {
  if (IUiServices* ui = host.GetUiServices()) ui->Post(CPostedMessage{message, 0, 0, button, id.ToString()});
}
}  // namespace

CCCButton::CCCButton(CCustomControlPanel* view, const CRect& rect) {
  m_pView = view;
  m_rect = rect;
}

CCCButton::CCCButton(const CCCButton& source)
    : CCustomControlObject(source),
      m_state(source.m_state),
      m_pImage(source.m_pImage),
      m_flags(source.m_flags),
      m_text(source.m_text),
      m_textColour(source.m_textColour),
      m_outlineColour(source.m_outlineColour),
      m_fillColour(source.m_fillColour),
      m_haloColour(source.m_haloColour),
      m_textStyle(source.m_textStyle),
      m_cornerRadius(source.m_cornerRadius),
      m_outlineWidth(source.m_outlineWidth),
      m_haloSize(source.m_haloSize),
      m_panelId(source.m_panelId),
      m_snapshotId(source.m_snapshotId),
      m_storedFont(source.m_storedFont) {}

void CCCButton::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  std::uint32_t version = kButtonRecordVersion;
  if (ar.IsStoring()) {
    ar.WriteU32(version);
    ar.WriteU32(m_flags);
    ar.WriteString(m_text);
    ar.WriteI32(m_cornerRadius);
  } else {
    version = ReadRecordVersion(ar, kButtonRecordVersion1, kButtonRecordVersion, "button widget");
    m_flags = ar.ReadU32();
    if (version == kButtonRecordVersion1) m_flags |= kButtonModifyParameter;
    m_text = ar.ReadString();
    m_cornerRadius = ClampPanelLength(ar.ReadI32());
  }
  ArchiveColour(ar, m_haloColour);
  ArchiveColour(ar, m_textColour);
  ArchiveColour(ar, m_outlineColour);
  ArchiveColour(ar, m_fillColour);
  if (ar.IsStoring())
    ar.WriteI32(m_outlineWidth);
  else
    m_outlineWidth = ClampPanelLength(ar.ReadI32());
  ArchiveTextStyle(ar, m_textStyle, m_storedFont);
  ArchiveImageRef(ar, m_pImage, lookup);
  if (version == kButtonRecordVersion) {
    ArchiveUuid(ar, m_panelId);
    ArchiveUuid(ar, m_snapshotId);
  } else {
    m_panelId = CUuid{};
    m_snapshotId = CUuid{};
  }
}

void CCCButton::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kButtonRecordVersion)) return;
    ds.U32(m_flags);
    StreamString(ds, m_text);
    ds.I32(m_cornerRadius);
    StreamColour(ds, m_haloColour);
    StreamColour(ds, m_textColour);
    StreamColour(ds, m_outlineColour);
    StreamColour(ds, m_fillColour);
    ds.I32(m_outlineWidth);
    m_textStyle.SerializeStream(ds);
    // The image stays as it is: a stream carries no image tree to look the id up in.
    CUuid imageId = m_pImage ? m_pImage->GetId() : CUuid{};
    StreamUuid(ds, imageId);
    StreamUuid(ds, m_panelId);
    StreamUuid(ds, m_snapshotId);
  } catch (const CStreamError&) {
  }
  if (ds.IsLoading()) {
    m_cornerRadius = ClampPanelLength(m_cornerRadius);
    m_outlineWidth = ClampPanelLength(m_outlineWidth);
  }
}

CRect CCCButton::GetBoundsRect() const {
  CRect r = m_rect;
  if (m_flags & kButtonOffset) {
    r.right += 1;
    r.bottom += 1;
  } else if (m_flags & kButtonHalo) {
    r.left -= m_haloSize;
    r.top -= m_haloSize;
    r.right += m_haloSize;
    r.bottom += m_haloSize;
  }
  return r;
}

std::uint32_t CCCButton::GetSizingMode() const {
  return m_pImage && (m_flags & kButtonFixToImage) ? 0 : 3;
}

CRect CCCButton::OnParameterUpdate(const CParamValue& value) {
  if (value.kind != ParamKind::kBool || !(m_flags & kButtonModifyParameter)) return CRect{};
  const bool on = value.flag != 0;
  const bool changed = on != m_state || GetParameterInfo().inactive != m_lastInactive;
  if (!changed) return CRect{};
  m_state = on;
  return GetBoundsRect();
}

CRect CCCButton::OnSnapshotRecalled(const CUuid& snapshot) {
  if (snapshot != m_snapshotId) return CRect{};
  RefreshState();
  return GetBoundsRect();
}

void CCCButton::RefreshState() {
  if (m_flags & kButtonLaunchPanel) {
    m_state = true;
    return;
  }
  if (m_flags & kButtonRecallSnapshot) {
    CCPData* panel = GetPanel();
    ICustomPanelHost* host = panel ? panel->GetOwner() : nullptr;
    if (!host) return;
    const auto& snapshots = host->GetSnapshots();
    bool lit = false;
    for (std::size_t i = 0; i < snapshots.size(); ++i) {
      if (snapshots[i]->GetUuid() != m_snapshotId) continue;
      lit = std::int32_t(i) == host->GetCurrentSnapshot();
      break;
    }
    m_state = lit;
    return;
  }
  CCustomControlObject::RefreshState();
}

bool CCCButton::ReleaseImage(CCCImageBase* image) { return ReleaseImageRef(m_pImage, image); }

bool CCCButton::ClearPanelReference(const CUuid& panel) {
  if (m_panelId != panel) return false;
  m_panelId = CUuid{};
  return true;
}

bool CCCButton::ClearSnapshotReference(const CUuid& snapshot) {
  if (m_snapshotId != snapshot) return false;
  m_snapshotId = CUuid{};
  return true;
}

CSnapshot* CCCButton::FindSnapshot(const ICustomPanelHost& host, const CUuid& id) {
  for (CSnapshot* snapshot : host.GetSnapshots())
    if (snapshot->GetUuid() == id) return snapshot;
  return nullptr;
}

void CCCButton::DrawText(Graphics& g, int dx, int dy) {
  const CStringFormat format = AlignedFormat(m_flags, kButtonAlignLeft);
  CRectF layout = CRectF::FromRect(m_rect);
  layout.x += float(dx);
  layout.y += float(dy);
  DrawStyledText(g, m_text, m_textStyle, layout, format, m_textColour);
}

void CCCButton::DrawFace(Graphics& g, bool halo, int shift) const {
  const int x = m_rect.left, y = m_rect.top, w = m_rect.Width(), h = m_rect.Height();
  if (halo) {
    // The rings surround the face where it is drawn, moved by the offset look.
    const int haloSize = std::max(0, m_haloSize);
    for (int i = 0; i < haloSize; ++i) {
      const std::uint32_t alpha = i < 2 ? 255u : 255u - 255u * std::uint32_t(i) / std::uint32_t(haloSize);
      const CColour ring{(alpha << 24) | (m_haloColour.argb & 0xFFFFFFu)};
      DrawRoundedBox(g, ring, 1, m_cornerRadius + i, x + shift - i, y + shift - i, w + 2 * i, h + 2 * i);
    }
  }
  if (m_flags & kButtonFill) {
    CGraphicsPath path;
    CreateRoundRectPath(path, 2 * m_cornerRadius, x + shift, y + shift, w, h);
    g.FillPath(CBrush(m_fillColour), path);
  }
  if (m_flags & kButtonOutline)
    DrawRoundedBox(g, m_outlineColour, m_outlineWidth, m_cornerRadius, x + shift, y + shift, w, h);
}

void CCCButton::Draw(Graphics& g, const CRect& paint, bool designMode) {
  (void)paint;
  if (m_hitTest) {
    const bool lit = m_state && !designMode;
    const bool offLook = !m_state && !(m_flags & (kButtonOffset | kButtonHalo)) && !designMode;
    const int shift = (lit && (m_flags & kButtonOffset)) ? 1 : 0;
    const int x = m_rect.left, y = m_rect.top, w = m_rect.Width(), h = m_rect.Height();
    const SmoothingMode savedMode = g.GetSmoothingMode();
    g.SetSmoothingMode(SmoothingMode::HighQuality);
    const bool halo = lit && (m_flags & kButtonHalo);
    const int haloSize = std::max(0, m_haloSize);
    const CCCImage* picture = DrawablePicture(m_pImage);
    if (!picture) {
      if (w > 0 && h > 0) {
        // Kept as an image with room for the halo and the offset.
        const int margin = (halo ? haloSize : 0) + 1;
        const int x0 = x - margin, y0 = y - margin;
        m_faceCache.Draw(g, x0, y0, w + 2 * margin, h + 2 * margin, SmoothingMode::HighQuality,
                         {halo ? 1u : 0u, std::uint32_t(haloSize), m_haloColour.argb, m_flags & (kButtonFill | kButtonOutline),
                          m_fillColour.argb, m_outlineColour.argb, std::uint32_t(m_outlineWidth),
                          std::uint32_t(m_cornerRadius), std::uint32_t(shift)},
                         [&](Graphics& cache) {
                           cache.TranslateTransform(-float(x0), -float(y0));
                           DrawFace(cache, halo, shift);
                         });
      } else {
        DrawFace(g, halo, shift);
      }
      if (!m_text.empty()) DrawText(g, shift, shift);
      if (offLook) {
        CGraphicsPath path;
        CreateRoundRectPath(path, 2 * m_cornerRadius, x, y, w, h);
        g.FillPath(CBrush(CColour{0xAA808080u}), path);
      }
    } else {
      const int iw = picture->GetPixelWidth(), ih = picture->GetPixelHeight();
      if (iw > 0 && ih > 0) {
        const CImage& image = picture->GetBitmap();
        const CRectF source{0, 0, float(iw), float(ih)};
        if (halo) {
          const float r = float((m_haloColour.argb >> 16) & 0xFF) / 255.0f;
          const float gr = float((m_haloColour.argb >> 8) & 0xFF) / 255.0f;
          const float b = float(m_haloColour.argb & 0xFF) / 255.0f;
          for (int i = 0; i < haloSize; ++i) {
            const float f = i < 2 ? 1.0f : 1.0f - float(i) / float(haloSize);
            const CColourMatrix matrix = CColourMatrix::Scale(r, gr, b, f);
            if (m_flags & kButtonStretchImage)
              g.DrawImage(image, CRectF{float(x - i), float(y - i), float(w + 2 * i), float(h + 2 * i)}, source, &matrix);
            else if (m_flags & kButtonFixToImage)
              g.DrawImage(image, CRectF{float(x - i), float(y - i), float(iw + 2 * i), float(ih + 2 * i)}, source, &matrix);
          }
        }
        const CColourMatrix matrix = offLook ? CColourMatrix::Scale(0.3f, 0.3f, 0.3f, 1.0f) : CColourMatrix::Identity();
        g.DrawImage(image, CRectF{float(x + shift), float(y + shift), float(w), float(h)}, source, &matrix);
      }
      if (!m_text.empty()) DrawText(g, shift, shift);
    }
    g.SetSmoothingMode(savedMode);
  }
  if (m_flags & kButtonModifyParameter) m_lastInactive = GetParameterInfo().inactive;
}

bool CCCButton::HitTest(int x, int y) const {
  if (const CCCImage* picture = DrawablePicture(m_pImage)) {
    const int w = m_rect.Width(), h = m_rect.Height();
    if (w <= 0 || h <= 0) return false;
    const int column = int(double(x - m_rect.left) * (double(picture->GetPixelWidth()) / w));
    const int row = int(double(y - m_rect.top) * (double(picture->GetPixelHeight()) / h));
    CColour pixel{0xFF000000u};
    if (!picture->GetBitmap().GetPixel(column, row, pixel)) pixel = CColour{0xFF000000u};
    return (pixel.argb >> 24) != 0;
  }
  CGraphicsPath path;
  CreateRoundRectPath(path, 2 * m_cornerRadius, m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height());
  return path.IsVisible(CPointF{float(x) + 0.5f, float(y) + 0.5f});
}

std::string CCCButton::RightsRefusal() const {
  if (!(m_flags & kButtonRecallSnapshot)) return CCustomControlObject::RightsRefusal();
  const CCPData* panel = GetPanel();
  const ICustomPanelHost* host = panel ? panel->GetOwner() : nullptr;
  return host && !host->MayCurrentUserRecallSnapshots() ? NoRightRefusal(kRestrictRecallSnapshots) : std::string();
}

void CCCButton::OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                               CRect& invalid) {
  (void)flags;
  const int x = point.x, y = point.y;
  if (IsLED()) return;
  CCPData* panel = GetPanel();
  ICustomPanelHost* host = panel ? panel->GetOwner() : nullptr;
  const bool press = message == WM_LBUTTONDOWN || (message == WM_LBUTTONDBLCLK && !designMode);
  if (press) {
    if (!HitTest(x, y) || !m_hitTest || (m_flags & kButtonNoPress)) return;
    if (m_pView) m_pView->SetActiveControl(this);
    m_held = true;
    const CRect bounds = GetBoundsRect();
    if (invalid == CRect{}) invalid = bounds;
    else UnionRects(invalid, invalid, bounds);
    if (m_flags & kButtonModifyParameter) {
      if (!(GetParameterInfo().options & kParamOptionCommand)) m_state = !m_state;
      // A change the device asks a confirmation of (a routing) is asked here, before it goes in.
      if (m_pDevice) ConfirmAndApplyUserChange(*m_pDevice, MakeBoolParamValue(std::int32_t(m_parameterId), m_state));
    } else if (m_flags & kButtonLaunchPanel) {
      m_state = false;
    } else if (m_flags & kButtonRecallSnapshot) {
      CSnapshot* snapshot = host ? FindSnapshot(*host, m_snapshotId) : nullptr;
      if (snapshot) {
        m_state = false;
        PostById(*host, FrameMsg::kRecallSnapshot, snapshot->GetUuid(), GetHandle());
      }
    }
    return;
  }
  if (message != WM_LBUTTONUP || !m_held) return;
  m_held = false;
  if (m_pView) m_pView->SetActiveControl(nullptr);
  invalid = GetBoundsRect();
  if (m_flags & kButtonLaunchPanel) {
    m_state = true;
    CCPData* target = host ? FindCustomPanel(*host, m_panelId) : nullptr;
    if (target) PostById(*host, FrameMsg::kOpenCustomPanel, target->GetUuid(), 0);
  }
}
