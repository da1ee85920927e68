#pragma once

// The editor's questions, asked through the Dialogs seam. The one rule they
// share lives here: a question still open when the program is told to end
// (a signal, a logout, the session manager) was not answered by the user.
// Such a question, and any asked after, gives no answer at all, whatever
// the dialog returned (a modal loop told to quit returns No, Cancel or
// nothing), so that no caller can take it for the user's choice.

#include "dialogs.h"

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace mx {

class Questions {
public:
    explicit Questions(Dialogs& dialogs) : dialogs_(dialogs) {}

    // Asks: question(dialogs) gives the dialog's answer. Nothing when the
    // program is ending; an answer that may be nothing (a chooser cancelled)
    // stays one optional.
    template <typename Question> auto operator()(Question&& question) {
        using Answer = std::invoke_result_t<Question, Dialogs&>;
        using Result = typename Flat<Answer>::type;
        if (ending_) {
            return Result();
        }
        Answer answer = std::invoke(std::forward<Question>(question), dialogs_);
        return ending_ ? Result() : Result(std::move(answer));
    }

    // The program ends: no question open now, or asked later, is answered.
    void endRun() { ending_ = true; }
    bool ending() const { return ending_; }

    // Errors and pages are told, not asked: nothing to answer.
    Dialogs& tell() { return dialogs_; }

private:
    template <typename T> struct Flat { using type = std::optional<T>; };
    template <typename T> struct Flat<std::optional<T>> { using type = std::optional<T>; };

    Dialogs& dialogs_;
    bool ending_ = false;
};

} // namespace mx
