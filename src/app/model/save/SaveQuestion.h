#pragma once
// The answers of the replace question of batch saves: Yes, Yes to All, No.

enum SaveQuestionButton : int {
    kSaveQuestionYes = 1,       // also the dialog's OK answer
    kSaveQuestionNo = 2,        // also Cancel: the close box and Esc
    kSaveQuestionYesToAll = 1061,
};

// What the dialog ends with for a button: 1 for Yes and Yes to All (the
// latter also sets yesToAll), 2 for No and anything else.
int SaveQuestionAnswer(int button, int& yesToAll);
