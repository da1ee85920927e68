#pragma once

// The questions the editor asks the user, behind one small interface so that
// tests can answer them; QtDialogs asks them with the platform's dialogs.

#include <QString>
#include <optional>

class QWidget;

namespace mx {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The folder browser, modal to owner and limited to existing folders.
    // Returns the chosen folder, or nothing when the user cancels.
    virtual std::optional<QString> browseForFolder(QWidget* owner, const QString& prompt,
                                                   const QString& startFolder) = 0;
    // "Save file before exit?": true for Yes, false for No.
    virtual bool askSaveBeforeExit(QWidget* owner) = 0;
    virtual void showError(QWidget* owner, const QString& message) = 0;
};

class QtDialogs : public Dialogs {
public:
    static constexpr const char* ExitQuestionText = "Save file before exit?";

    std::optional<QString> browseForFolder(QWidget* owner, const QString& prompt,
                                           const QString& startFolder) override;
    bool askSaveBeforeExit(QWidget* owner) override;
    void showError(QWidget* owner, const QString& message) override;
};

} // namespace mx
