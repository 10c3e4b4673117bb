// The transfer queue's question about an existing target: a small dialog with the six choices
// and "apply to all", the scripted answer for tests (the headless one answers in its header).
#include "platform/Dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

struct ChoiceInfo {
    ExistsRule choice;
    const char* name;
    const char* caption;
};

constexpr ChoiceInfo kChoices[] = {
    {ExistsRule::Overwrite, "ExistsOverwrite", "&Overwrite"},
    {ExistsRule::OverwriteIfNewer, "ExistsOverwriteIfNewer", "Overwrite if the source is &newer"},
    {ExistsRule::OverwriteIfSizeDiffers, "ExistsOverwriteIfSizeDiffers", "Overwrite if the &size differs"},
    {ExistsRule::Resume, "ExistsResume", "&Resume (continue a partial file)"},
    {ExistsRule::Skip, "ExistsSkip", "S&kip"},
    {ExistsRule::Rename, "ExistsRename", "Re&name the new file"},
};

QString questionText(const ExistsQuestion& question)
{
    return QStringLiteral("The target exists already:\n%1 (%2)\n\nThe source:\n%3 (%4)\n\nWhat should the queue do?")
        .arg(question.target, question.targetFacts, question.source, question.sourceFacts);
}

} // namespace

ExistsAnswer QtDialogs::askExists(const ExistsQuestion& question)
{
    QDialog box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ExistsBox"));
    box.setWindowTitle(QStringLiteral("File exists"));
    auto* layout = new QVBoxLayout(&box);
    auto* text = new QLabel(questionText(question), &box);
    text->setTextFormat(Qt::PlainText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);
    QButtonGroup group(&box);
    for (const ChoiceInfo& info : kChoices) {
        auto* option = new QRadioButton(QString::fromLatin1(info.caption), &box);
        option->setObjectName(QString::fromLatin1(info.name));
        option->setChecked(info.choice == question.offered);
        group.addButton(option, static_cast<int>(info.choice));
        layout->addWidget(option);
    }
    auto* applyToAll = new QCheckBox(QStringLiteral("&Apply to all files of this run"), &box);
    applyToAll->setObjectName(QStringLiteral("ExistsApplyToAll"));
    applyToAll->setChecked(true);
    layout->addWidget(applyToAll);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    if (box.exec() != QDialog::Accepted)
        return {ExistsRule::Skip, false};
    return {static_cast<ExistsRule>(group.checkedId()), applyToAll->isChecked()};
}

ExistsAnswer ScriptedDialogs::askExists(const ExistsQuestion& question)
{
    existsQuestions.push_back(question);
    if (existsAnswers.empty())
        return {question.offered, true};
    const ExistsAnswer answer = existsAnswers.front();
    existsAnswers.erase(existsAnswers.begin());
    return answer;
}
