// The scripted dialogs used by tests: every box is recorded, answers come from queues.
#include "platform/Dialogs.h"

QStringList ScriptedDialogs::boxTexts() const
{
    QStringList texts;
    for (const auto& box : boxes)
        texts << box.text;
    return texts;
}

void ScriptedDialogs::clear()
{
    boxes.clear();
    questions.clear();
    boxAnswers.clear();
    textAnswers.clear();
    beeps = 0;
}

MsgButton ScriptedDialogs::messageBox(const QString& text, MsgIcon icon,
                                      const std::vector<MsgButton>& buttons)
{
    boxes.push_back({text, icon, buttons});
    if (boxAnswers.empty())
        return buttons.empty() ? MsgButton::Ok : buttons.front();
    const MsgButton answer = boxAnswers.front();
    boxAnswers.erase(boxAnswers.begin());
    return answer;
}

bool ScriptedDialogs::nextText(const QString& kind, const QString& caption,
                               const QString& prompt, QString& value)
{
    questions.push_back({kind, caption, prompt, value});
    if (textAnswers.empty())
        return false;
    const Answer answer = textAnswers.front();
    textAnswers.erase(textAnswers.begin());
    if (answer.accepted)
        value = answer.text;
    return answer.accepted;
}

bool ScriptedDialogs::inputQuery(const QString& caption, const QString& prompt, QString& value)
{
    return nextText("inputQuery", caption, prompt, value);
}

QString ScriptedDialogs::inputBox(const QString& caption, const QString& prompt,
                                  const QString& defaultValue)
{
    QString value = defaultValue;
    nextText("inputBox", caption, prompt, value);
    return value;
}

bool ScriptedDialogs::openFileName(const QString& title, const QString& filter, QString& fileName)
{
    return nextText("open", title, filter, fileName);
}

bool ScriptedDialogs::saveFileName(const QString& title, const QString& filter, QString& fileName)
{
    return nextText("save", title, filter, fileName);
}

bool ScriptedDialogs::chooseFolder(const QString& caption, QString& folder)
{
    return nextText("folder", caption, QString(), folder);
}
