// The engine's working file of a network object.
#include "core/apppaths.h"
#include "tests/network/netfixture.h"

#include <QDir>
#include <QRegularExpression>

TEST(EngineFile, EachObjectReservesItsOwnNameAndRemovesOnlyIt)
{
    const QString other = AppPaths::TempFolder() + "/~KV99999.Tmp";
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("someone else's");
    }
    QString first, second;
    {
        CBackProp a;
        CSFam b;
        first = a.NetFileName();
        second = b.NetFileName();
        EXPECT_NE(first, second);
        EXPECT_TRUE(QRegularExpression("^~KV\\d{5}\\.Tmp$").match(QFileInfo(first).fileName()).hasMatch()) << first.toStdString();
        EXPECT_EQ(QFileInfo(first).absolutePath(), QDir(AppPaths::TempFolder()).absolutePath());
        EXPECT_TRUE(QFile::exists(first));
        EXPECT_TRUE(QFile::exists(second));
        EXPECT_NE(first, other);
    }
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_FALSE(QFile::exists(second));
    EXPECT_TRUE(QFile::exists(other));
    QFile::remove(other);
}

TEST(EngineFile, ManyObjectsNeverShareAName)
{
    std::vector<std::unique_ptr<CBackProp>> nets;
    QSet<QString> names;
    for (int i = 0; i < 50; ++i) {
        nets.push_back(std::make_unique<CBackProp>());
        names.insert(nets.back()->NetFileName());
    }
    EXPECT_EQ(names.size(), 50);
}
