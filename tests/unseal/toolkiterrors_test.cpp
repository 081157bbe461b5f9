// The toolkit's messages as the dialog shows them.
#include "scriptedprompt.h"
#include "toolkiterrors.h"

#include <gtest/gtest.h>

TEST(ToolkitErrors, BuildsTheTextFromPrefixCodeAndMessage) {
    struct Case {
        QString prefix, code, text;
    } cases[] = {
        {QStringLiteral("복호화"), QStringLiteral("70018"),
         QStringLiteral("복호화에러 [70018] 인증서 비밀번호가 틀립니다.!!!")},
        {QStringLiteral("전자서명검증"), QStringLiteral("71212"),
         QStringLiteral("전자서명검증에러 [71212] 전자서명 검증 에러[전자서명 검증 실패]..!!!")},
        {QStringLiteral("복호화"), QStringLiteral("70807"),
         QStringLiteral("복호화에러 [70807] 암호화 에러[잘못된 enveloped data 포맷입니다]..!!!")},
        {QStringLiteral("복호화"), QStringLiteral("71601"),
         QStringLiteral("복호화에러 [71601] LDAP관련[디렉토리 서버에 접속할 수 없습니다]..!!!")},
    };
    for (const Case& c : cases) {
        testsupport::ScriptedPrompt prompt;
        unseal::showToolkitError(prompt, c.prefix, c.code);
        ASSERT_EQ(prompt.shown.size(), 1u) << c.code.toStdString();
        EXPECT_EQ(prompt.shown[0].text, c.text);
        EXPECT_EQ(prompt.shown[0].caption, platform::kProgramTitle);
        EXPECT_EQ(prompt.shown[0].icon, platform::Icon::None);
        EXPECT_EQ(prompt.shown[0].buttons, platform::Buttons::Ok);
    }
}

TEST(ToolkitErrors, UnlistedCodesShowNothing) {
    for (const char* code : {"79002", "-3", "0", "7001", "700180", " 70018", ""}) {
        testsupport::ScriptedPrompt prompt;
        unseal::showToolkitError(prompt, QStringLiteral("복호화"), QString::fromLatin1(code));
        EXPECT_TRUE(prompt.shown.empty()) << code;
    }
}
