#include "toolkiterrors.h"

#include <array>

namespace unseal {

namespace {

struct ToolkitMessage {
    const char* code;
    QString message;
};

// Tested in this order; the endings ".!!!" and "..!!!" are as the
// toolkit's documentation writes them. 70101, 70110, 70808, 71213 and
// 71214 are our toolkit's own refusals (toolkit/STATUS.md).
const std::array<ToolkitMessage, 22> toolkitMessages = {{
    {"70007", QStringLiteral("인증서 유효기간이 만료되었습니다.!!!")},
    {"70009", QStringLiteral("잘못된 형식의 인증서입니다.!!!")},
    {"70018", QStringLiteral("인증서 비밀번호가 틀립니다.!!!")},
    {"70019", QStringLiteral("인증관련 파일을 읽을 수 없습니다.!!!")},
    {"70020", QStringLiteral("인증관련 파일을 write할 수 없습니다.!!!")},
    {"70021", QStringLiteral("암호화용 비밀키를 읽을 수 없습니다.!!!")},
    {"70080", QStringLiteral("인증서 신뢰목록을 검증할 수 없습니다..!!!")},
    {"70081", QStringLiteral("인증서 신뢰목록이 서명되어 있지 않습니다..!!!")},
    {"70100", QStringLiteral("인증서 경로 구성 실패..!!!")},
    {"70101", QStringLiteral("신뢰하는 최상위 인증서가 설치되지 않았습니다..!!!")},
    {"70110", QStringLiteral("허용된 발급기관의 서명이 아닙니다..!!!")},
    {"70806", QStringLiteral("공개키 복호화 실패..!!!")},
    {"70807", QStringLiteral("암호화 에러[잘못된 enveloped data 포맷입니다]..!!!")},
    {"70808", QStringLiteral("암호화 에러[허용되지 않는 암호 알고리즘입니다]..!!!")},
    {"71203", QStringLiteral("전자서명 검증 에러[잘못된 서명 메시지입니다]..!!!")},
    {"71205", QStringLiteral("전자서명 원문 추출 에러[잘못된 원문 메시지입니다]..!!!")},
    {"71207", QStringLiteral("전자서명 인증서 추출 에러[잘못된 인증서입니다]..!!!")},
    {"71211", QStringLiteral("전자서명 검증 에러[잘못된 전자서명데이터입니다.]..!!!")},
    {"71212", QStringLiteral("전자서명 검증 에러[전자서명 검증 실패]..!!!")},
    {"71213", QStringLiteral("전자서명 검증 에러[허용되지 않는 해시 알고리즘입니다]..!!!")},
    {"71214", QStringLiteral("전자서명 검증 에러[서명용 인증서가 아닙니다]..!!!")},
    {"71601", QStringLiteral("LDAP관련[디렉토리 서버에 접속할 수 없습니다]..!!!")},
}};

}  // namespace

std::optional<QString> toolkitErrorText(const QString& prefix, const QString& code) {
    for (const ToolkitMessage& row : toolkitMessages) {
        if (code == QLatin1String(row.code)) {
            return prefix + QStringLiteral("에러 [") + code + QStringLiteral("] ") + row.message;
        }
    }
    return std::nullopt;
}

void showPlainMessage(platform::Prompt& prompt, const QString& text) {
    prompt.message(text, platform::kProgramTitle, platform::Icon::None, platform::Buttons::Ok);
}

void showToolkitError(platform::Prompt& prompt, const QString& prefix, const QString& code) {
    if (const auto text = toolkitErrorText(prefix, code)) {
        showPlainMessage(prompt, *text);
    }
}

}  // namespace unseal
