#include "core/widgets/toolnames.h"
#include "tests/core/test_widgets_bars.h"

#include "core/kverror.h"
#include "core/regsettings.h"
#include "core/widgets/mrulist.h"
#include "tests/support/fakeprompter.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

const QString kFiles = QStringLiteral("RecentFileList");
const QString kTags = QStringLiteral("RecentFileTagList");

class MRUListTest : public ::testing::Test {
protected:
    void SetUp() override { TestEnv::ClearSettings(); }

    static void store(const QString& section, int n, const QString& value)
    {
        gRegSettings().SaveSetting(section, QString::number(n), value);
    }
    // The numbered values a section holds, in key order 1.., as "n=value".
    static QStringList stored(const QString& section)
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, gRegSettings().Company(),
                    gRegSettings().AppName());
        s.beginGroup(section);
        QStringList out;
        for (int n = 1; n <= 30; ++n)
            if (s.contains(QString::number(n)))
                out << QStringLiteral("%1=%2").arg(n).arg(s.value(QString::number(n)).toString());
        return out;
    }
    static QString path(int i) { return QStringLiteral("/data/p%1.kvp").arg(i); }
};

} // namespace

TEST_F(MRUListTest, LoadStopsAtTheFirstGapAndDropsWhatLiesBeyond)
{
    store(kFiles, 1, path(1));
    store(kFiles, 2, path(2));
    store(kFiles, 4, path(4));
    store(kFiles, 5, path(5));
    store(kTags, 1, QStringLiteral("t1"));
    store(kTags, 4, QStringLiteral("t4"));
    CMRUList list;
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.MaxItems(), 6);
    EXPECT_EQ(list.Tag(1), QStringLiteral("t1"));
    EXPECT_EQ(list.Tag(2), QString());
    EXPECT_EQ(stored(kFiles), (QStringList{"1=" + path(1), "2=" + path(2)}));
    EXPECT_EQ(stored(kTags), (QStringList{"1=t1"}));

    // Filling the gap does not bring the entries behind it back.
    list.Add(path(10));
    CMRUList again;
    EXPECT_EQ(again.Count(), 3);
    EXPECT_EQ(again.Item(3), path(2));
}

TEST_F(MRUListTest, EightStoredEntriesKeepMaxItemsEight)
{
    for (int n = 1; n <= 8; ++n)
        store(kFiles, n, path(n));
    CMRUList list;
    EXPECT_EQ(list.Count(), 8);
    EXPECT_EQ(list.MaxItems(), 8);
    EXPECT_TRUE(list.Enabled());
    EXPECT_TRUE(list.Visible());
}

TEST_F(MRUListTest, AddMovesAnExistingEntryUpWithItsTagAndComparesExactly)
{
    CMRUList list;
    list.Add(path(1));
    list.Add(path(2));
    list.Add(path(3));
    list.SetTag(3, QStringLiteral("first"));
    EXPECT_EQ(stored(kTags).value(2), QStringLiteral("3=first"));
    list.Add(path(1));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Item(1), path(1));
    EXPECT_EQ(list.Tag(1), QStringLiteral("first"));
    EXPECT_EQ(list.Item(2), path(3));
    EXPECT_EQ(list.Tag(3), QString());

    // Another spelling is another file here.
    list.Add(path(2).toUpper());
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Item(1), path(2).toUpper());
    EXPECT_EQ(list.Item(4), path(2));
    EXPECT_EQ(stored(kFiles),
              (QStringList{"1=" + path(2).toUpper(), "2=" + path(1), "3=" + path(3), "4=" + path(2)}));
}

TEST_F(MRUListTest, AFullListDropsItsOldestEntryAndTag)
{
    CMRUList list;
    for (int i = 6; i >= 1; --i)
        list.Add(path(i));
    list.SetTag(6, QStringLiteral("old"));
    list.SetTag(1, ToolName::New);
    list.Add(path(7));
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list.Item(1), path(7));
    EXPECT_EQ(list.Item(6), path(5));
    EXPECT_EQ(list.Tag(1), QString());
    EXPECT_EQ(list.Tag(2), ToolName::New);
    const QStringList files = stored(kFiles);
    ASSERT_EQ(files.size(), 6);
    EXPECT_EQ(files[0], "1=" + path(7));
    EXPECT_EQ(files[5], "6=" + path(5));
    EXPECT_FALSE(stored(kTags).join(QLatin1Char(',')).contains(QStringLiteral("old")));
}

TEST_F(MRUListTest, LoweringMaxItemsDeletesTheTailAndBadCountsAreClamped)
{
    CMRUList list;
    for (int i = 6; i >= 1; --i)
        list.Add(path(i));
    list.SetMaxItems(4);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(stored(kFiles).size(), 4);
    EXPECT_EQ(stored(kTags).size(), 4);

    // A stored count of 0 must not wipe the list; one above 18 is held at 18.
    list.SetMaxItems(0);
    EXPECT_EQ(list.MaxItems(), 1);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Item(1), path(1));
    list.SetMaxItems(50);
    EXPECT_EQ(list.MaxItems(), CMRUList::MaxLimit);
}

TEST_F(MRUListTest, ItemAndTagOutsideTheListRaise)
{
    CMRUList list;
    list.Add(path(1));
    EXPECT_THROW(list.Item(0), KvError);
    EXPECT_THROW(list.Item(2), KvError);
    EXPECT_THROW(list.Tag(2), KvError);
    EXPECT_THROW(list.SetTag(2, QStringLiteral("x")), KvError);
}

TEST_F(MRUListTest, AnEmptyNameIsRefusedWithAPlainBox)
{
    FakePrompter fp;
    fp.ExpectBox(MsgResult::Ok);
    CMRUList list;
    list.Add(QString());
    ASSERT_EQ(fp.Boxes().size(), 1u);
    EXPECT_EQ(fp.LastBox().text, QStringLiteral("Empty string passed to clsRecentFileList"));
    EXPECT_EQ(fp.LastBox().icon, MsgIcon::None);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(MRUListTest, ToolsStandBeforeExitInListOrder)
{
    TestMainWindow w;
    CMRUList list;
    CBand& file = w.bar->Band(BandName::File);
    list.Initialize(&file);
    list.Add(path(1));
    list.Add(path(2));
    list.Add(QStringLiteral("/data/R&D.kvp"));
    EXPECT_EQ(w.names(BandName::File),
              (QStringList{ToolName::Open, ToolName::Close, ToolName::Import, ToolName::MRUList, ToolName::MRUList,
                           ToolName::MRUList, ToolName::Exit}));
    for (int n = 1; n <= 3; ++n) {
        const CBandTool& tool = file.ToolAt(2 + n);
        EXPECT_EQ(tool.Tag(), n);
        EXPECT_EQ(tool.Id(), 98000 + n);
        EXPECT_EQ(tool.Description(), QStringLiteral("Open this file"));
        EXPECT_EQ(tool.SeparatorBefore(), n == 1);
        EXPECT_EQ(tool.Caption(), CMRUList::Caption(n, list.Item(n)));
    }
    EXPECT_EQ(file.ToolAt(3).Caption(), QStringLiteral("&1 /data/R&&D.kvp"));
    EXPECT_EQ(file.ToolAt(4).Caption(), QStringLiteral("&2 ") + path(2));
    EXPECT_TRUE(file.ToolAt(6).SeparatorBefore());

    // The menu shows them in that order too.
    QStringList texts;
    for (QAction* a : file.Menu()->actions())
        if (!a->isSeparator())
            texts << a->text().section(QLatin1Char('\t'), 0, 0);
    EXPECT_EQ(texts.mid(3, 4), (QStringList{"&1 /data/R&&D.kvp", "&2 " + path(2), "&3 " + path(1), "E&xit"}));

    list.SetEnabled(false);
    EXPECT_FALSE(file.ToolAt(3).Action()->isEnabled());
    list.SetVisible(false);
    EXPECT_FALSE(file.ToolAt(5).Action()->isVisible());
    list.SetMaxItems(1);
    EXPECT_EQ(w.names(BandName::File).count(ToolName::MRUList), 1);
}

TEST_F(MRUListTest, WithoutAnExitToolTheToolsGoToTheEnd)
{
    TestMainWindow w;
    CBand& help = w.bar->Band(BandName::Help);
    CMRUList list;
    list.Add(path(1));
    list.Initialize(&help);
    EXPECT_EQ(w.names(BandName::Help), (QStringList{ToolName::HelpContents, ToolName::HelpAbout, ToolName::MRUList}));
    list.Initialize(nullptr);
    EXPECT_EQ(list.Band(), &help);
}
