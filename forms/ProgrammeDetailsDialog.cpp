#include "forms/ProgrammeDetailsDialog.h"

#include "channels/ProgrammeTimes.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *addLabel(QVBoxLayout *layout, const char *name) {
    auto *label = new QLabel(layout->parentWidget());
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    return label;
}

} // namespace

ProgrammeDetailsDialog::ProgrammeDetailsDialog(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ProgrammeDetails"));
    auto *layout = new QVBoxLayout(this);
    Title = addLabel(layout, "Title");
    QFont titleFont = font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0)
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    else
        titleFont.setPixelSize(titleFont.pixelSize() * 4 / 3);
    Title->setFont(titleFont);
    Channel = addLabel(layout, "Channel");
    When = addLabel(layout, "When");
    Category = addLabel(layout, "Category");
    QFont categoryFont = font();
    categoryFont.setItalic(true);
    Category->setFont(categoryFont);
    Description = addLabel(layout, "Description");
    Description->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addStretch(1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Fermer"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void ProgrammeDetailsDialog::showProgramme(const QString &channel, const GuideProgramme &programme) {
    setWindowTitle(programme.title);
    Title->setText(programme.title);
    Channel->setText(channel);
    When->setText(ProgrammeTimes::dayAndTimes(programme));
    Category->setText(programme.category);
    Category->setVisible(!programme.category.isEmpty());
    Description->setText(programme.description);
    Description->setVisible(!programme.description.isEmpty());
    adjustSize();
    show();
    raise();
    activateWindow();
}
