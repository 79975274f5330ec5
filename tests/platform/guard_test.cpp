#include "failure.h"
#include "guard.h"
#include "scriptedprompts.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kelvora {
namespace {

struct FullStopCase
{
    const char16_t* message;
    const char16_t* shown;
};

class ErrorBoxText : public ::testing::TestWithParam<FullStopCase>
{
};

TEST_P(ErrorBoxText, AppendsAFullStopAfterCharactersSortingAfterTheStop)
{
    EXPECT_EQ(errorBoxText(QString::fromUtf16(GetParam().message)),
              QString::fromUtf16(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ErrorBoxText,
    ::testing::Values(FullStopCase{u"", u""}, FullStopCase{u"Stream read error", u"Stream read error."},
                      FullStopCase{u"Dataset is not in edit mode.", u"Dataset is not in edit mode."},
                      FullStopCase{u"Done!", u"Done!"}, FullStopCase{u"a,", u"a,"},
                      FullStopCase{u"path/", u"path/."}, FullStopCase{u"value 7", u"value 7."},
                      FullStopCase{u"Поиск не удаля", u"Поиск не удаля."},
                      FullStopCase{u"(x)", u"(x)"}, FullStopCase{u"a-", u"a-"}));

class Guard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = &prompts();
        setPrompts(&scripted_);
    }
    void TearDown() override { setPrompts(previous_); }

    ScriptedPrompts scripted_;
    Prompts* previous_ = nullptr;
};

TEST_F(Guard, ShowsAFailureInTheErrorBoxAndSwallowsIt)
{
    guarded([] { throw DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset")); });
    ASSERT_EQ(scripted_.shown().size(), 1);
    EXPECT_EQ(scripted_.shown()[0].kind, ScriptedPrompts::Kind::Error);
    EXPECT_EQ(scripted_.shown()[0].text, QStringLiteral("Cannot perform this operation on a closed dataset."));
}

TEST_F(Guard, ShowsStandardExceptionsAndUnknownOnes)
{
    guarded([] { throw std::runtime_error("disk on fire"); });
    guarded([] { throw 42; });
    EXPECT_EQ(scripted_.textsOf(ScriptedPrompts::Kind::Error),
              (QStringList{QStringLiteral("disk on fire."), QStringLiteral("Unknown failure.")}));
}

TEST_F(Guard, ShowsNothingWhenTheWorkSucceeds)
{
    int runs = 0;
    guarded([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(scripted_.shown().isEmpty());
}

} // namespace
} // namespace kelvora
