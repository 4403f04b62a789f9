// The row-split dialog answered as a user leaves it: the four bounds set, then OK. Armed on a
// ModalAnswerer before the command that opens the dialog.
#pragma once

#include "config/rangeselector.h"
#include "config/splitdialog.h"
#include "tests/support/modalanswerer.h"

#include <QPushButton>
#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>

inline ModalAnswerer::Answer SplitAnswer(int32_t trainLow, int32_t trainHigh, int32_t testLow, int32_t testHigh)
{
    return [=](QWidget* w) {
        auto* dialog = qobject_cast<frmDataSelect*>(w);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Split The Data"));
        // Moving up, the high end goes first so that the low end never crosses it.
        dialog->dsTrainSet->SetValueHigh(std::max(trainHigh, dialog->dsTrainSet->ValueHigh()));
        dialog->dsTrainSet->SetValueLow(trainLow);
        dialog->dsTrainSet->SetValueHigh(trainHigh);
        dialog->dsTestSet->SetValueHigh(std::max(testHigh, dialog->dsTestSet->ValueHigh()));
        dialog->dsTestSet->SetValueLow(testLow);
        dialog->dsTestSet->SetValueHigh(testHigh);
        dialog->cmdOK->click();
    };
}
