#include "core/errorbox.h"
#include "core/kverror.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

TEST(ErrorConvention, StandardFormShowsNumberDescriptionAndTitle)
{
    FakePrompter prompts;
    prompts.ExpectBox(MsgResult::Ok);
    const bool ok = Procedure(QStringLiteral("modMenu::FileOpen"), [] { throw KvError(KvErr::TypeMismatch); });
    EXPECT_FALSE(ok);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.LastBox().text, QStringLiteral("Error: 13. \nType mismatch"));
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("modMenu::FileOpen"));
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::Critical);
    EXPECT_EQ(prompts.LastBox().buttons, MsgButtons::Ok);
}
