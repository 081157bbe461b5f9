// The certificate dialog offscreen: its list, its buttons and keys, the
// confirm action's messages, and an issued document opened end to end.
#include "dialoghost.h"
#include "frmmain.h"
#include "scriptedprompt.h"
#include "unsealaction.h"
#include "unsealworld.h"
#include "virtualcard.h"
#include "webviewwait.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <functional>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using unsealtest::kPassword;
using unsealtest::q;
using unsealtest::UnsealWorld;

namespace {

using Script = std::function<void(unseal::frmDec&)>;

struct Session {
    UnsealWorld world;
    platform::Prefix prefix{q(world.root)};
    testsupport::ScriptedPrompt prompt;
    platform::SealkitBinding sealkit;
    unseal::DialogHost host{{prefix, prompt, sealkit}};
    shell::AppState state;

    explicit Session(bool certificates = true, const char* library = SEALKIT_LIBRARY)
        : world(certificates), sealkit(prompt, QString::fromUtf8(library)) {
        EXPECT_TRUE(prefix.ensure());
    }

    // Extracts a document's members into the working folder, as the open
    // pipeline does before it shows the dialog.
    void extract(const std::string& document) {
        UnsealWorld::sh("rm -rf '" + world.app + "/data' && mkdir -p '" + world.app +
                        "/data' && cd '" + world.app + "/data' && unzip -q '" + document + "'");
        state.DataFolder = q(world.app) + QStringLiteral("\\data\\");
        state.XmlFileName = QStringLiteral("form.xml");
        state.XslFileName = QStringLiteral("form.xsl");
        state.UnsealSucceeded = shell::kFalse;
    }

    // Shows the dialog and runs `script` in it; a dialog still shown at the
    // end is cancelled.
    void show(const Script& script) {
        QTimer::singleShot(0, [&] {
            unseal::frmDec* dialog = host.dialog();
            ASSERT_NE(dialog, nullptr);
            ASSERT_TRUE(dialog->isVisible());
            script(*dialog);
            if (host.dialog() != nullptr && host.dialog()->isVisible() &&
                !host.dialog()->unloaded()) {
                click(*host.dialog(), "cancelButton");
            }
        });
        host.showModal(state);
    }

    std::vector<std::string> rows() {
        std::vector<std::string> out;
        unseal::frmDec* dialog = host.dialog();
        const auto& list = dialog->certificateList();
        for (int k = 1; k <= list.certCount; ++k) {
            out.push_back((list.certGrid.text(k, 0) + u'|' + list.signCertPath[k]).toStdString());
        }
        return out;
    }

    static void click(unseal::frmDec& dialog, const char* name) {
        auto* button = dialog.findChild<QPushButton*>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static QLineEdit* box(unseal::frmDec& dialog, const char* name) {
        return dialog.findChild<QLineEdit*>(QLatin1String(name));
    }
    static QTableWidget* grid(unseal::frmDec& dialog) {
        return dialog.findChild<QTableWidget*>(QStringLiteral("certGrid"));
    }
    static void clickRow(unseal::frmDec& dialog, int row, int column = 0) {
        QTableWidget* table = grid(dialog);
        const QRect cell = table->visualItemRect(table->item(row, column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }
    static void type(unseal::frmDec& dialog, const char* name, const QString& text) {
        QLineEdit* edit = box(dialog, name);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    QString lastMessage() const {
        return prompt.shown.empty() ? QString() : prompt.shown.back().text;
    }
};

const std::string kHong = "홍길동()0001234567890123";
const std::string kKim = "김철수()0009876543210987";

}  // namespace

TEST(CertificateDialog, LoadsTheHardDiskCertificatesAndLaysOutItsControls) {
    Session s;
    s.show([&](unseal::frmDec& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Norvale 발급서식 뷰어"));
        EXPECT_EQ(d.size(), QSize(346, 370));
        EXPECT_EQ(s.rows(), (std::vector<std::string>{
                                kKim + "|c:\\kvx\\cn=1\\SignCert.der",
                                kHong + "|c:\\Program Files\\NPKI\\yessign\\user\\cn=hong\\SignCert.der",
                                "박영희|C:\\OTRX\\certificate\\class2\\park_sig.cer"}));
        QTableWidget* table = Session::grid(d);
        EXPECT_EQ(table->geometry(), QRect(8, 24, 313, 89));
        EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("사용자"));
        EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("발급자"));
        EXPECT_EQ(table->columnWidth(0), 2348 / 15);
        EXPECT_FALSE(Session::box(d, "smartPasswd")->isEnabled());
        EXPECT_EQ(d.smartPasswdColour(), unseal::kInactiveBorderColour);
        EXPECT_EQ(Session::box(d, "passwd")->echoMode(), QLineEdit::Password);
        // Both boxes mask with "*".
        for (const char* name : {"passwd", "smartPasswd"}) {
            QLineEdit* box = Session::box(d, name);
            box->setText(QStringLiteral("암호12"));
            EXPECT_EQ(box->displayText(), "****") << name;
            box->clear();
        }
        struct Control {
            const char* name;
            QString tooltip;
        } buttons[] = {{"hdd", QStringLiteral("HDD에서 읽기")},
                       {"floppy", QStringLiteral("플로피에서 읽기")},
                       {"cdKey", QStringLiteral("씨디 키")},
                       {"smartCard", QStringLiteral("스마트카드")}};
        for (const Control& c : buttons) {
            auto* button = d.findChild<QPushButton*>(QLatin1String(c.name));
            ASSERT_NE(button, nullptr) << c.name;
            EXPECT_EQ(button->toolTip(), c.tooltip);
            EXPECT_EQ(button->iconSize(), QSize(30, 30));
            EXPECT_FALSE(button->autoDefault() || button->isDefault());
        }
        // A click in a data row highlights both of its cells.
        Session::clickRow(d, 2, 1);
        EXPECT_TRUE(table->item(2, 0)->isSelected() && table->item(2, 1)->isSelected());
        // Escape does not cancel, Enter outside the password box confirms
        // nothing.
        QTest::keyClick(&d, Qt::Key_Escape);
        QTest::keyClick(Session::grid(d), Qt::Key_Return);
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(s.prompt.shown.empty());
    });
}

TEST(CertificateDialog, WrongPasswordKeepsTheDialogAndTheRightOneUnseals) {
    Session s;
    s.extract(s.world.document("hong.kvx", s.world.world + "/users/hong/SignCert.der"));
    s.show([&](unseal::frmDec& d) {
        Session::clickRow(d, 2);
        Session::type(d, "passwd", QStringLiteral("wrong"));
        Session::click(d, "confirmButton");
        EXPECT_EQ(s.lastMessage(), QStringLiteral("복호화에러 [70018] 인증서 비밀번호가 틀립니다.!!!"));
        EXPECT_EQ(s.prompt.shown.back().icon, platform::Icon::None);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(Session::grid(d)->currentRow(), 2);
        Session::type(d, "passwd", QString::fromUtf8(kPassword));
        QTest::keyClick(Session::box(d, "passwd"), Qt::Key_Return);
    });
    EXPECT_EQ(s.prompt.shown.size(), 1u);
    EXPECT_EQ(s.state.UnsealSucceeded, shell::kTrue);
    EXPECT_EQ(s.host.dialog(), nullptr);
    EXPECT_EQ(testsupport::readFile(s.world.app + "/data/form.xml"), unsealtest::formXml());
    // The registry export's key files are gone, its folders stay.
    const std::string kvx = s.world.root + "/drive_c/kvx/cn=1";
    EXPECT_TRUE(QDir(q(kvx)).exists());
    EXPECT_FALSE(testsupport::exists(kvx + "/SignCert.der"));
    EXPECT_FALSE(testsupport::exists(kvx + "/SignPri.key"));
}

TEST(CertificateDialog, ADocumentACitizenSignedIsRefusedWhenSignersAreNamed) {
    Session s;
    // kim holds an ordinary certificate of the same CA, and signs.
    fixtures::writeCertDer(s.world.dir / "kim.der", s.world.w.kim.sign.cert);
    fixtures::writeKey(s.world.dir / "kim.key", s.world.w.kim.sign.key, "",
                       fixtures::KeyScheme::PemPkcs8);
    UnsealWorld::sh("mkdir -p '" + s.world.app + "/signers' && cp '" + s.world.world +
                    "/issuer/signer.der' '" + s.world.app + "/signers/agency.der'");
    fixtures::writeTrustConfig(s.world.app + "/npkiconf.ini", {"pki/root.der"},
                               {"pki/ca.der", "pki/agency-ca.der"}, true, {"signers/agency.der"});
    s.extract(s.world.document("forged.kvx", s.world.world + "/users/hong/SignCert.der", false,
                               s.world.dir / "kim"));
    s.show([&](unseal::frmDec& d) {
        Session::clickRow(d, 2);
        Session::type(d, "passwd", QString::fromUtf8(kPassword));
        Session::click(d, "confirmButton");
        EXPECT_EQ(s.lastMessage(),
                  QStringLiteral("전자서명검증에러 [70110] 허용된 발급기관의 서명이 아닙니다..!!!"));
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(s.state.UnsealSucceeded, shell::kFalse);
    EXPECT_TRUE(s.state.SignerInfo.isEmpty());
}

TEST(CertificateDialog, AStickPluggedInOrPulledOutIsSeenAtTheNextClick) {
    Session s;
    const std::string media = s.world.dir / "media";
    const std::string table = s.world.dir / "mounts";
    testsupport::writeFile(table, "/dev/vda1 / ext4 rw 0 0\n");
    s.prefix.setMountTable(q(table), {q(media)});
    UnsealWorld::sh("mkdir -p '" + media + "/STICK/NPKI/yessign/USER' && cp -r '" + s.world.world +
                    "/users/kim' '" + media + "/STICK/NPKI/yessign/USER/cn=kim'");
    const std::string kim = "김철수()0009876543210987|a:\\NPKI\\yessign\\USER\\cn=kim\\SignCert.der";
    s.show([&](unseal::frmDec& d) {
        Session::click(d, "floppy");
        EXPECT_TRUE(s.rows().empty());
        // Plugged in while the dialog is open.
        testsupport::writeFile(table, "/dev/vda1 / ext4 rw 0 0\n/dev/sdb1 " + media +
                                          "/STICK vfat rw 0 0\n");
        Session::click(d, "floppy");
        EXPECT_EQ(s.rows(), std::vector<std::string>{kim});
        // Pulled out.
        testsupport::writeFile(table, "/dev/vda1 / ext4 rw 0 0\n");
        Session::click(d, "floppy");
        EXPECT_TRUE(s.rows().empty());
    });
}

TEST(CertificateDialog, ClassTwoEntriesUnsealWithTheirEncryptionKey) {
    Session s;
    s.extract(s.world.document("park.kvx", s.world.world + "/class2/park_env.cer", true));
    s.show([&](unseal::frmDec& d) {
        Session::clickRow(d, 3);
        Session::type(d, "passwd", QString::fromUtf8(kPassword));
        Session::click(d, "confirmButton");
    });
    EXPECT_TRUE(s.prompt.shown.empty()) << s.lastMessage().toStdString();
    EXPECT_EQ(s.state.UnsealSucceeded, shell::kTrue);
}

TEST(CertificateDialog, ConfirmTellsWhatIsMissing) {
    struct Case {
        const char* what;
        bool certificates;
        const char* password;
        bool removeClassTwoKey;
        QString message;
    } cases[] = {
        {"no certificate", false, "typed", false, unseal::kNoCertificate},
        {"empty password", true, "", false, unseal::kNoPassword},
        {"class-2 files gone", true, "typed", true, unseal::kNoEncryptionCertificate},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s(c.certificates);
        s.extract(s.world.document("hong.kvx", s.world.world + "/users/hong/SignCert.der"));
        s.show([&](unseal::frmDec& d) {
            if (c.removeClassTwoKey) {
                Session::clickRow(d, 3);
                QFile::remove(q(s.world.root + "/drive_c/OTRX/certificate/class2/park_sig.key"));
            }
            Session::type(d, "passwd", QString::fromUtf8(c.password));
            QTest::keyClick(Session::box(d, "passwd"), Qt::Key_Return);
            EXPECT_TRUE(d.isVisible());
        });
        ASSERT_EQ(s.prompt.shown.size(), 1u);
        EXPECT_EQ(s.prompt.shown[0].text, c.message);
        EXPECT_EQ(s.prompt.shown[0].caption, platform::kProgramTitle);
        EXPECT_EQ(s.prompt.shown[0].icon, platform::Icon::None);
        EXPECT_EQ(s.state.UnsealSucceeded, shell::kFalse);
    }
    EXPECT_EQ(unseal::kNoCertificate,
              QStringLiteral("공인 기관에서 발급된 인증서가 없습니다. \r\n[방문] 수령이 아닌 "
                             "경우에는 \r\n공인 인증서를 발급 받아 신청하셔야 합니다."));
}

TEST(CertificateDialog, CancelKeepsTheListAndPasswordsUntilTheCloseBox) {
    Session s;
    s.show([&](unseal::frmDec& d) {
        Session::clickRow(d, 3);
        Session::type(d, "passwd", QStringLiteral("typed"));
        Session::click(d, "smartCard");
        Session::type(d, "smartPasswd", QStringLiteral("1111"));
        EXPECT_EQ(d.smartPasswdColour(), unseal::kWindowBackgroundColour);
        Session::click(d, "hdd");  // greys the PIN box again, keeps the PIN
        EXPECT_FALSE(Session::box(d, "smartPasswd")->isEnabled());
        EXPECT_EQ(d.smartPasswdColour(), unseal::kInactiveBorderColour);
        EXPECT_EQ(Session::box(d, "smartPasswd")->text(), QStringLiteral("1111"));
        Session::clickRow(d, 3);
        Session::click(d, "cancelButton");
    });
    EXPECT_EQ(s.state.UnsealSucceeded, shell::kFalse);
    ASSERT_NE(s.host.dialog(), nullptr);
    // A certificate added now is not listed until a location is chosen.
    UnsealWorld::sh("cp -r '" + s.world.world + "/users/kim' '" + s.world.root +
                    "/drive_c/pkicert/cn=kim' 2>/dev/null || (mkdir -p '" + s.world.root +
                    "/drive_c/pkicert' && cp -r '" + s.world.world + "/users/kim' '" +
                    s.world.root + "/drive_c/pkicert/cn=kim')");
    s.show([&](unseal::frmDec& d) {
        EXPECT_EQ(s.rows().size(), 3u);
        EXPECT_EQ(Session::grid(d)->currentRow(), 3);
        EXPECT_EQ(Session::box(d, "passwd")->text(), QStringLiteral("typed"));
        d.close();  // the close box unloads the dialog
    });
    EXPECT_EQ(s.host.dialog(), nullptr);
    EXPECT_EQ(s.state.UnsealSucceeded, shell::kFalse);
    s.show([&](unseal::frmDec& d) {
        EXPECT_EQ(s.rows().size(), 4u);
        EXPECT_EQ(Session::box(d, "passwd")->text(), QString());
    });
    EXPECT_TRUE(s.prompt.shown.empty());
}

TEST(CertificateDialog, UnlistedStatusesShowNothingAndAMissingFunctionIsReported) {
    struct Case {
        const char* status;
        QString message;
    } cases[] = {
        {"12345", QString()},
        {"-1", QString()},
        {"0", QStringLiteral("Sealkit 라이브러리에 verifySig_File 함수가 없습니다.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        ::setenv("SEALKIT_STUB_DECRYPT", c.status, 1);
        Session s(true, SEALKIT_STUB);
        s.extract(s.world.document("hong.kvx", s.world.world + "/users/hong/SignCert.der"));
        s.show([&](unseal::frmDec& d) {
            Session::type(d, "passwd", QStringLiteral("typed"));
            Session::click(d, "confirmButton");
            EXPECT_TRUE(d.isVisible());
        });
        if (c.message.isEmpty()) {
            EXPECT_TRUE(s.prompt.shown.empty()) << s.lastMessage().toStdString();
        } else {
            ASSERT_EQ(s.prompt.shown.size(), 1u);
            EXPECT_TRUE(s.prompt.shown[0].text.startsWith(c.message)) << s.lastMessage().toStdString();
        }
        EXPECT_EQ(s.state.UnsealSucceeded, shell::kFalse);
    }
    ::unsetenv("SEALKIT_STUB_DECRYPT");
}

namespace {

struct GivenFile : platform::FileChooser {
    QString next;
    QString chooseFile(const QString&, const QString&) override { return next; }
};
struct NoPrinter : platform::PrinterChooser {
    bool choosePrinter(QPrinter&) override { return false; }
};

}  // namespace

TEST(CertificateDialog, AnIssuedDocumentOpensInTheWindow) {
    Session s;
    testsupport::TempDir config;
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    GivenFile chooser;
    NoPrinter printers;
    testsupport::writeFile(s.world.dir / "loading.html", "<html><body>start</body></html>");
    shell::frmMain window({s.prefix, s.prompt, chooser, printers, s.host,
                           q(s.world.dir / "loading.html")});
    window.show();
    ASSERT_TRUE(testsupport::waitForLoad(window.webView()));
    chooser.next = q(s.world.document("hong.kvx", s.world.world + "/users/hong/SignCert.der"));
    QTimer::singleShot(0, [&] {
        unseal::frmDec* d = s.host.dialog();
        ASSERT_NE(d, nullptr);
        Session::clickRow(*d, 2);
        Session::type(*d, "passwd", QString::fromUtf8(kPassword));
        Session::click(*d, "confirmButton");
    });
    window.findChild<QAction*>(QStringLiteral("mnuFileOpen"))->trigger();
    ASSERT_TRUE(testsupport::waitForLoad(window.webView()));
    EXPECT_EQ(window.webView()->url(), QUrl::fromLocalFile(q(s.world.app + "/temp.html")));
    EXPECT_TRUE(testsupport::shownText(window.webView()).contains(QStringLiteral("주민등록표 등본")));
    EXPECT_TRUE(s.prompt.shown.empty()) << s.lastMessage().toStdString();
    EXPECT_FALSE(testsupport::exists(s.world.app + "/data"));
    EXPECT_FALSE(testsupport::exists(s.world.root + "/drive_c/kvx/cn=1/SignPri.key"));
    EXPECT_TRUE(QDir(q(s.world.root + "/drive_c/kvx/cn=1")).exists());

    // 파일 > 서명 정보 tells who signed the shown document.
    QAction* signerInfo = window.findChild<QAction*>(QStringLiteral("mnuFileSignerInfo"));
    ASSERT_NE(signerInfo, nullptr);
    EXPECT_TRUE(signerInfo->isEnabled());
    QStringList rows;
    QTimer::singleShot(0, [&] {
        QWidget* shown = QApplication::activeModalWidget();
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->windowTitle(), "서명 정보");
        for (int i = 0; i < 6; ++i) {
            auto* value = shown->findChild<QLabel*>(QStringLiteral("value%1").arg(i));
            rows.append(value != nullptr ? value->text() : QString());
        }
        shown->close();
    });
    signerInfo->trigger();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0], "Norvale Issuing Service / 알 수 없음 (Norvale Issuing CA)");
    EXPECT_TRUE(rows[1].startsWith(QDate::currentDate().toString(Qt::ISODate).left(4))) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].contains(" ~ "));
    EXPECT_EQ(rows[3], "SHA-256");
    EXPECT_EQ(rows[4], "Norvale Issuing Service\nNorvale Issuing CA\nPaperlens Test Root CA");
    EXPECT_EQ(rows[5], "서명자를 제한하는 설정이 없습니다.");
    window.findChild<QAction*>(QStringLiteral("mnuFileClose"))->trigger();
    EXPECT_FALSE(signerInfo->isEnabled());
}

namespace {

const char kPin[] = "2580";

// Reads the card from the dialog, by the button or by Enter in the PIN box.
void readCard(unseal::frmDec& d, const char* pin, bool enter) {
    Session::type(d, "smartPasswd", QString::fromUtf8(pin));
    if (enter) {
        QTest::keyClick(Session::box(d, "smartPasswd"), Qt::Key_Return);
    } else {
        Session::click(d, "smartButton");
    }
}

}  // namespace

TEST(SmartCardInTheDialog, EachFailureHasItsMessageByButtonAndByEnter) {
    struct Case {
        const char* what;
        bool daemon;
        bool withCertificate;
        const char* pin;
        QString byButton, byEnter;
    } cases[] = {
        {"empty PIN", false, true, "", unseal::kNoPin, unseal::kNoPin},
        {"no reader", false, true, kPin, QStringLiteral("스마트 카드 Reader가 설치되지 않았습니다."),
         QStringLiteral("스마트 카드 리더가 설치되지 않았습니다.")},
        {"wrong PIN", true, true, "1111", unseal::kWrongPin, unseal::kWrongPin},
        {"no certificate on the card", true, false, kPin,
         QStringLiteral("스마트 카드에서 인증서를 획득할 수 없습니다."),
         QStringLiteral("스마트 카드에서 인증서를 가져올 수 없습니다.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<testsupport::PcscDaemon> daemon;
        std::map<uint16_t, std::string> files{{0xF303, "key"}};
        if (c.withCertificate) {
            files[0xF304] = "certificate";
        }
        testsupport::VirtualCard card(files, kPin);
        if (c.daemon) {
            daemon = std::make_unique<testsupport::PcscDaemon>();
            PAPERLENS_REQUIRE_PCSCD(*daemon);
            ASSERT_TRUE(card.insert(testsupport::PcscDaemon::kPort));
            ASSERT_TRUE(testsupport::waitForCard(20));
        }
        Session s;
        s.show([&](unseal::frmDec& d) {
            Session::click(d, "smartCard");
            for (bool enter : {false, true}) {
                readCard(d, c.pin, enter);
                EXPECT_EQ(s.lastMessage(), enter ? c.byEnter : c.byButton) << enter;
                EXPECT_EQ(d.certificateList().certCount, 0);
                // The PIN stays for another try.
                EXPECT_EQ(Session::box(d, "smartPasswd")->text(), QString::fromUtf8(c.pin));
                EXPECT_TRUE(Session::box(d, "smartPasswd")->isEnabled());
            }
        });
        EXPECT_EQ(s.prompt.shown.size(), 2u);
    }
}

TEST(SmartCardInTheDialog, TheCardsCertificateUnsealsWithItsPassword) {
    testsupport::PcscDaemon daemon;
    PAPERLENS_REQUIRE_PCSCD(daemon);
    Session s;
    const std::string kim = s.world.world + "/users/kim";
    testsupport::VirtualCard card({{0xF303, testsupport::readFile(kim + "/SignPri.key")},
                                   {0xF304, testsupport::readFile(kim + "/SignCert.der")}},
                                  kPin);
    ASSERT_TRUE(card.insert(testsupport::PcscDaemon::kPort));
    ASSERT_TRUE(testsupport::waitForCard(20));
    s.extract(s.world.document("kim.kvx", kim + "/SignCert.der"));
    s.show([&](unseal::frmDec& d) {
        Session::click(d, "smartCard");
        EXPECT_EQ(d.certificateList().certCount, 0);
        readCard(d, kPin, false);
        ASSERT_EQ(d.certificateList().certCount, 1);
        EXPECT_EQ(d.certificateList().certGrid.text(1, 0).toStdString(), kKim);
        EXPECT_EQ(Session::grid(d)->rowCount(), 2);
        // The PIN is not the certificate's password.
        Session::type(d, "passwd", QString::fromUtf8(kPin));
        Session::click(d, "confirmButton");
        EXPECT_EQ(s.lastMessage(), QStringLiteral("복호화에러 [70018] 인증서 비밀번호가 틀립니다.!!!"));
        Session::type(d, "passwd", QString::fromUtf8(kPassword));
        Session::click(d, "confirmButton");
    });
    EXPECT_EQ(s.state.UnsealSucceeded, shell::kTrue);
    EXPECT_EQ(testsupport::readFile(s.world.app + "/data/form.xml"), unsealtest::formXml());
    const std::string folder = s.world.root + "/smartcard";
    EXPECT_TRUE(testsupport::readFile(folder + "/SignCert.der") ==
                testsupport::readFile(kim + "/SignCert.der"));
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((folder + "/SignPri.key").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SmartCardInTheDialog, ChoosingTheCardEmptiesThePinAndTheListEachTime) {
    Session s;
    s.show([&](unseal::frmDec& d) {
        for (int i = 0; i < 2; ++i) {
            Session::type(d, "passwd", QStringLiteral("kept"));
            Session::click(d, "hdd");
            EXPECT_EQ(d.certificateList().certCount, 3);
            Session::click(d, "smartCard");
            Session::type(d, "smartPasswd", QStringLiteral("1234"));
            Session::click(d, "smartCard");
            EXPECT_EQ(Session::box(d, "smartPasswd")->text(), QString());
            EXPECT_EQ(d.certificateList().certCount, 0);
            EXPECT_EQ(Session::grid(d)->rowCount(), 2);
            EXPECT_EQ(Session::box(d, "passwd")->text(), QStringLiteral("kept"));
        }
    });
    EXPECT_TRUE(s.prompt.shown.empty());
}

int main(int argc, char** argv) {
    if (::geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    testsupport::TempDir runtime;
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
