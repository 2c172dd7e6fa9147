// The typed-length limit of a line edit.
#include "widgets/TypedLength.h"

#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

namespace {

class CTypedLengthFilter : public QObject {
 public:
  CTypedLengthFilter(QLineEdit* box, int limit) : QObject(box), m_box(box), m_limit(limit) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != m_box) return false;
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      // Shortcuts (a paste among them) and editing keys pass.
      if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
      if (key->text().isEmpty() || !key->text().at(0).isPrint()) return false;
      const QString kept = TypedTextWithinLimit(*m_box, key->text(), m_limit);
      if (kept == key->text()) return false;
      if (!kept.isEmpty()) m_box->insert(kept);
      return true;
    }
    if (event->type() == QEvent::InputMethod) {
      auto* composed = static_cast<QInputMethodEvent*>(event);
      const QString kept = TypedTextWithinLimit(*m_box, composed->commitString(), m_limit);
      if (kept != composed->commitString())
        composed->setCommitString(kept, composed->replacementStart(), composed->replacementLength());
    }
    return false;
  }

 private:
  QLineEdit* m_box;
  int m_limit;
};

}  // namespace

QString TypedTextWithinLimit(const QLineEdit& box, const QString& typed, int maxCharacters) {
  if (maxCharacters <= 0) return typed;
  const qsizetype room = std::max<qsizetype>(0, maxCharacters - (box.text().size() - box.selectedText().size()));
  return typed.left(room);
}

void LimitTypedLength(QLineEdit* box, int maxCharacters) {
  if (!box || maxCharacters <= 0) return;
  box->installEventFilter(new CTypedLengthFilter(box, maxCharacters));
}
