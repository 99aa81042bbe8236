#include "ErrorDisplay.h"
#include "MsgShell.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {
// Records every box and answers with a fixed button.
class MessageRecorder {
public:
    explicit MessageRecorder(QMessageBox::StandardButton answer) {
        SetMessageHook([this, answer](const TMessageRequest& r) {
            Requests.push_back(r);
            return answer;
        });
    }
    ~MessageRecorder() { SetMessageHook(nullptr); }
    std::vector<TMessageRequest> Requests;
};

TEST(MessageBoxes, InfoAndQuestionCarryCaptionIconAndButtons) {
    MessageRecorder recorder(QMessageBox::Ok);
    ShowInfo(QStringLiteral("保存完毕"));
    ASSERT_EQ(recorder.Requests.size(), 1u);
    EXPECT_EQ(recorder.Requests[0].Caption, QStringLiteral("提示"));
    EXPECT_EQ(recorder.Requests[0].Text, QStringLiteral("保存完毕"));
    EXPECT_EQ(recorder.Requests[0].Icon, QMessageBox::Information);
    EXPECT_EQ(recorder.Requests[0].Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    AskYesNo(QStringLiteral("覆盖？"));
    ASSERT_EQ(recorder.Requests.size(), 2u);
    EXPECT_EQ(recorder.Requests[1].Icon, QMessageBox::Question);
    EXPECT_EQ(recorder.Requests[1].Buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST(MessageBoxes, AskYesNoIsTrueOnlyForYes) {
    {
        MessageRecorder no(QMessageBox::No);
        EXPECT_FALSE(AskYesNo(QStringLiteral("q")));
    }
    {
        MessageRecorder closed(QMessageBox::Cancel);
        EXPECT_FALSE(AskYesNo(QStringLiteral("q")));
    }
    MessageRecorder yes(QMessageBox::Yes);
    EXPECT_TRUE(AskYesNo(QStringLiteral("q")));
}

TEST(Shell, WorkingFolderIsUpToTheLastBackslashOrColon) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://example.org/page", "http:"},
        {"C:\\recipes\\fish.rtf", "C:\\recipes\\"},
        {"C:fish.rtf", "C:"},
        {"a:b\\c:d", "a:b\\c:"},
        {"/home/cook/fish.rtf", ""},
        {"", ""},
    };
    for (const auto& [target, folder] : cases)
        EXPECT_EQ(ShellWorkingFolder(QString::fromUtf8(target)).toStdString(), folder) << target;
}

TEST(Shell, UnopenableTargetAnswersFalseAndShowsNothing) {
    MessageRecorder recorder(QMessageBox::Ok);
    EXPECT_FALSE(ShellOpen(QStringLiteral("/no/such/file/anywhere.rtf"), QString()));
    EXPECT_FALSE(ShellOpen(QString(), QString()));
    EXPECT_TRUE(recorder.Requests.empty());
}

TEST(Shell, HookSeesTargetParametersAndFolder) {
    TShellRequest seen;
    SetShellHook([&](const TShellRequest& r) {
        seen = r;
        return true;
    });
    EXPECT_TRUE(ShellOpen(QStringLiteral("https://example.org/x"), QStringLiteral("-p")));
    SetShellHook(nullptr);
    EXPECT_EQ(seen.Target, QStringLiteral("https://example.org/x"));
    EXPECT_EQ(seen.Parameters, QStringLiteral("-p"));
    EXPECT_EQ(seen.WorkingFolder, QStringLiteral("https:"));
}

TEST(DefaultErrorDisplay, GuardShowsEveryKindOfErrorAndStopsTheHandler) {
    MessageRecorder recorder(QMessageBox::Ok);
    bool after = false;
    RunGuarded([&] {
        throw EDatabaseError(QStringLiteral("no such table: mycook"));
        after = true;
    });
    RunGuarded([] { throw std::runtime_error("plain failure"); });
    RunGuarded([] { throw 42; });
    RunGuarded([] { throw std::bad_alloc(); });
    RunGuarded([] {});
    EXPECT_FALSE(after);
    ASSERT_EQ(recorder.Requests.size(), 4u);
    EXPECT_EQ(recorder.Requests[0].Text, QStringLiteral("no such table: mycook"));
    EXPECT_EQ(recorder.Requests[0].Caption,
              QStringLiteral("百味小筑")); // the title users read, not the file name
    EXPECT_EQ(recorder.Requests[0].Icon, QMessageBox::Critical);
    // The standard library's English never reaches the cook.
    EXPECT_EQ(recorder.Requests[1].Text, QStringLiteral("程序内部出错，这项操作没有完成。"));
    EXPECT_EQ(recorder.Requests[2].Text, QStringLiteral("程序内部出错，这项操作没有完成。"));
    EXPECT_TRUE(recorder.Requests[3].Text.startsWith(QStringLiteral("内存不足")));
}

TEST(DefaultErrorDisplay, AFailingDisplayDoesNotEscape) {
    SetMessageHook([](const TMessageRequest&) -> QMessageBox::StandardButton {
        throw std::runtime_error("display broke");
    });
    EXPECT_NO_THROW(RunGuarded([] { throw std::runtime_error("x"); }));
    SetMessageHook(nullptr);
}
} // namespace
