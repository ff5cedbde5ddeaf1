#include "SaveQuestion.h"

int SaveQuestionAnswer(int button, int& yesToAll) {
    switch (button) {
    case kSaveQuestionYesToAll: yesToAll = 1; return kSaveQuestionYes;
    case kSaveQuestionYes: return kSaveQuestionYes;
    default: return kSaveQuestionNo;
    }
}
