// SPDX-License-Identifier: Apache-2.0
#include "ui/SpokenLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QVariant>

namespace quorlin::ui {
namespace {

// The words, kept on the label itself; their presence marks a spoken label.
constexpr char kWords[] = "quorlinSpokenWords";

// Qt's own interface of a label, but for the description, which is read
// from the words here rather than from the widget's accessibleDescription:
// setting that one announces every change on newer Qt versions.
class AccessibleSpokenLabel final : public QAccessibleWidget {
 public:
  explicit AccessibleSpokenLabel(QLabel* label)
      : QAccessibleWidget(label, QAccessible::StaticText) {}
  QString text(QAccessible::Text which) const override {
    if (which == QAccessible::Description) return SpokenWords(static_cast<QLabel*>(widget()));
    return QAccessibleWidget::text(which);
  }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String("QLabel") && object != nullptr &&
      object->property(kWords).isValid())
    return new AccessibleSpokenLabel(static_cast<QLabel*>(object));
  return nullptr;
}

}  // namespace

void MakeSpokenLabel(QLabel* label) {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
  label->setProperty(kWords, QString());
}

void SetSpokenWords(QLabel* label, const QString& words) {
  label->setProperty(kWords, words);
}

QString SpokenWords(const QLabel* label) {
  return label->property(kWords).toString();
}

void AnnounceSpokenWords(QLabel* label) {
  QAccessibleEvent changed(label, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&changed);
}

}  // namespace quorlin::ui
