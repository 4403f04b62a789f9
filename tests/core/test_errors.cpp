#include "core/errorbox.h"
#include "core/kverror.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

// A name a hundred thousand characters long in a message: the box gets its start and end, so
// that it fits on the screen with its button; what is short stays as it is.
TEST(ErrorConvention, EveryBoxShortensWhatNoScreenShows)
{
    FakePrompter prompts;
    prompts.AllowAnyBox();
    const QString name = QStringLiteral("head") + QString(100000, QLatin1Char('x')) + QStringLiteral("tail");
    Procedure(QStringLiteral("CDataDef::Load"), [&] {
        throw KvError(3265, {}, QStringLiteral("The table has no field [") + name + QStringLiteral("] any more."));
    });
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    const QString shown = prompts.LastBox().text;
    EXPECT_LT(shown.size(), 200);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Error: 3265. \nThe table has no field [headxxx"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("xxxtail] any more."))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("\u2026")));
    // Many lines, and a long text of short words.
    QStringList many;
    for (int i = 0; i < 1000; ++i)
        many << QStringLiteral("line %1").arg(i);
    EXPECT_LE(Prompts::Shortened(many.join(QLatin1Char('\n'))).count(QLatin1Char('\n')), 30);
    EXPECT_LE(Prompts::Shortened(QStringLiteral("word ").repeated(20000)).size(), 1500);
    const QString ordinary = QStringLiteral("Error: 13. \nType mismatch");
    EXPECT_EQ(Prompts::Shortened(ordinary), ordinary);
}

TEST(ErrorConvention, PlainFormHasNoLineBreakAndNoIcon)
{
    FakePrompter prompts;
    prompts.ExpectBox(MsgResult::Ok);
    PlainProcedure(QStringLiteral("CHourglass::Value"), [] { throw KvError(KvErr::ObjectNotSet); });
    EXPECT_EQ(prompts.LastBox().text,
              QStringLiteral("Error: 91. Object variable or With block variable not set"));
    EXPECT_EQ(prompts.LastBox().title, QStringLiteral("CHourglass::Value"));
    EXPECT_EQ(prompts.LastBox().icon, MsgIcon::None);
}

TEST(ErrorConvention, MemberReRaisesWithItsSourceAndKeepsTheDescription)
{
    try {
        modErrorHandling::Member("CFile:Tag Property Let", []() -> int {
            throw KvError(KvErr::NoCurrentRecord, QStringLiteral("inner"), QStringLiteral("custom text"));
        });
        FAIL() << "no error raised";
    } catch (const KvError& e) {
        EXPECT_EQ(e.number(), 3021);
        EXPECT_EQ(e.source(), QStringLiteral("CFile:Tag Property Let"));
        EXPECT_EQ(e.description(), QStringLiteral("custom text"));
    }
}

TEST(ErrorConvention, CatalogueDescriptionsAndForeignExceptions)
{
    EXPECT_EQ(KvError(3021).description(), QStringLiteral("No current record."));
    EXPECT_EQ(KvError(53).description(), QStringLiteral("File not found"));
    EXPECT_EQ(KvError(53, {}, QStringLiteral("No such database file")).description(),
              QStringLiteral("No such database file"));
    try {
        throw std::bad_alloc();
    } catch (...) {
        EXPECT_EQ(CurrentError().number(), KvErr::OutOfMemory);
    }
    try {
        throw std::runtime_error("disk on fire");
    } catch (...) {
        const KvError e = CurrentError();
        EXPECT_EQ(e.number(), KvErr::Internal);
        EXPECT_EQ(e.description(), QStringLiteral("disk on fire"));
    }
}

TEST(ErrorConvention, IgnoreErrorsSkipsTheStatementSilently)
{
    FakePrompter prompts; // any box would fail the test
    int reached = 0;
    EXPECT_FALSE(IgnoreErrors([&] { throw KvError(5); }));
    EXPECT_TRUE(IgnoreErrors([&] { ++reached; }));
    EXPECT_EQ(reached, 1);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST(ErrorConvention, ProcedureKeepsWhatTheBodySetBeforeFailing)
{
    FakePrompter prompts;
    prompts.ExpectBox(MsgResult::Ok);
    QString result;
    Procedure(QStringLiteral("Utilities::GetFullPath"), [&] {
        result = QStringLiteral("partial");
        throw KvError(KvErr::BadFileName);
    });
    EXPECT_EQ(result, QStringLiteral("partial"));
    EXPECT_EQ(prompts.LastBox().text, QStringLiteral("Error: 52. \nBad file name or number"));
}
