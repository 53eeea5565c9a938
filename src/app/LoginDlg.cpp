#include "app/LoginDlg.h"

#include "app/UiKit.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

namespace {
int Dpi(int n, QWidget* w)
{
    double dpi = w->screen() ? w->screen()->logicalDotsPerInch() : 96.0;
    return int(n * dpi / 96.0);
}

void SetColor(QLabel* l, const QColor& c)
{
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, c);
    l->setPalette(p);
}
}

TLoginDlg::TLoginDlg(QWidget* parent, bool appKey) : QDialog(parent), FAppKey(appKey)
{
    setWindowTitle(QStringLiteral("케스트렐 HTS — 로그인"));
    setFont(AppFont(10));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(Dpi(16, this), Dpi(14, this), Dpi(16, this), Dpi(12, this));
    root->setSpacing(Dpi(8, this));

    auto* top = new QLabel(appKey ? QStringLiteral(
        "LS증권 오픈 API 의 앱 키와 시크릿 키를 적어 주세요 (LS증권 홈페이지 → 오픈 API → 앱 등록에서 발급).\r\n"
        "한 번 로그인되면 다음부터는 켜자마자 자동 로그인됩니다. 이 PC 의 hts.ini 에만 저장되며, "
        "이 파일은 이 PC 사용자 본인만 읽고 쓸 수 있게 둡니다. 키는 증권사 인증 서버 말고는 보내지 않습니다.")
                                  : QStringLiteral(
        "LS증권 로그인 정보를 적어 주세요. 한 번 로그인되면 다음부터는 켜자마자 자동 로그인됩니다.\r\n"
        "이 PC 의 hts.ini 에만 저장되고 다른 곳으로 보내지 않습니다."), this);
    top->setWordWrap(true);
    root->addWidget(top);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(Dpi(10, this));
    const char* caps[5] = {"LS증권 아이디", "비밀번호", "공동인증서 비밀번호", "계좌번호 (11자리)", "계좌 비밀번호"};
    const char* keyCaps[5] = {"앱 키 (APP KEY)", "시크릿 키 (SECRET)", "", "계좌번호 (11자리)", ""};
    for (int i = 0; i < 5; ++i) {
        auto* cap = new QLabel(QString::fromUtf8(appKey ? keyCaps[i] : caps[i]), this);
        grid->addWidget(cap, i, 0);
        E[i] = new QLineEdit(this);
        E[i]->setFixedWidth(Dpi(appKey ? 360 : 260, this));
        grid->addWidget(E[i], i, 1);
        // The open API takes no certificate, and the key decides the account.
        if (appKey && (i == ECert || i == EAcpw)) {
            cap->hide();
            E[i]->hide();
        }
    }
    for (int i : {EPw, ECert, EAcpw})
        E[i]->setEchoMode(QLineEdit::Password);
    E[EAcno]->setMaxLength(11);
    E[EAcno]->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,11}")), E[EAcno]));
    E[EAcno]->setPlaceholderText(QStringLiteral("- 없이 숫자 11자리  예) 12345678901"));
    root->addLayout(grid);

    auto* note = new QLabel(appKey ? QStringLiteral("※ 계좌번호는 '-' 빼고 숫자 11자리 — 앱 키를 발급받은 그 계좌여야 합니다")
                                   : QStringLiteral("※ 계좌번호는 '-' 빼고 숫자 11자리  (예: 123456789-01 → 12345678901)"), this);
    SetColor(note, QColor(208, 0, 0));
    root->addWidget(note);

    lbErr = new QLabel(this);
    lbErr->setFont(AppFont(10, true));
    lbErr->setWordWrap(true);
    lbErr->setMinimumHeight(QFontMetrics(lbErr->font()).lineSpacing() * 3);
    lbErr->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetColor(lbErr, QColor(208, 0, 0));
    root->addWidget(lbErr);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnGo = new QPushButton(QStringLiteral("저장 및 로그인"), this);
    btnQuit = new QPushButton(QStringLiteral("종료"), this);
    btnGo->setDefault(true);
    btnGo->setAutoDefault(true);
    btnQuit->setAutoDefault(false);
    buttons->addWidget(btnGo);
    buttons->addWidget(btnQuit);
    root->addLayout(buttons);

    connect(btnGo, &QPushButton::clicked, this, [this] { Go(); });
    connect(btnQuit, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects too
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

TLoginDlg* TLoginDlg::CreateDlg(const QString& id, const QString& pw, const QString& cert, const QString& acno,
                                const QString& acpw, const QString& errMsg, TLoginTry tryFn, QWidget* parent,
                                bool appKey)
{
    auto* d = new TLoginDlg(parent, appKey);
    QString digits;
    for (QChar c : acno)
        if (c.isDigit())
            digits += c;
    const QString vals[5] = {id, pw, cert, digits.left(11), acpw};
    for (int i = 0; i < 5; ++i)
        d->E[i]->setText(vals[i]);
    d->lbErr->setText(errMsg);
    d->FTry = std::move(tryFn);
    QLineEdit* first = (!id.trimmed().isEmpty() && pw.isEmpty()) ? d->E[EPw] : d->E[EId];
    first->setFocus();
    return d;
}

void TLoginDlg::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    raise();
    activateWindow();
}

int TLoginDlg::FocusForError(const QString& err)
{
    auto has = [&](const char* s) { return err.contains(QString::fromUtf8(s), Qt::CaseInsensitive); };
    if (has("계좌 비밀번호")) return EAcpw;
    if (has("인증") || has("cert")) return ECert;
    if (has("계좌")) return EAcno;
    if (has("ID") || has("아이디") || has("사용자")) return EId;
    if (has("비밀번호") || has("암호")) return EPw;
    return EId;
}

void TLoginDlg::reject()
{
    if (!FBusy)
        QDialog::reject();
}

void TLoginDlg::SetBusy(bool busy)
{
    FBusy = busy;
    for (auto* e : E)
        e->setEnabled(!busy);
    btnGo->setEnabled(!busy);
    btnQuit->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TLoginDlg::Go()
{
    if (FDone) {
        accept();
        return;
    }
    lbErr->clear();
    const QString pwText = FAppKey ? E[EPw]->text().trimmed() : E[EPw]->text();
    if (E[EId]->text().trimmed().isEmpty() || pwText.isEmpty() || E[EAcno]->text().trimmed().isEmpty()) {
        lbErr->setText(FAppKey ? QStringLiteral("앱 키 · 시크릿 키 · 계좌번호는 꼭 적어야 합니다.")
                               : QStringLiteral("아이디 · 비밀번호 · 계좌번호는 꼭 적어야 합니다."));
        return;
    }
    const QString acno = E[EAcno]->text().trimmed();
    if (acno.size() != 11) {
        lbErr->setText(QStringLiteral("계좌번호는 '-' 없이 숫자 11자리여야 합니다 (지금 %1자리).").arg(acno.size()));
        E[EAcno]->setFocus();
        return;
    }
    SetBusy(true);
    SetColor(lbErr, QColor(0, 64, 128));
    lbErr->setText(QStringLiteral("LS증권에 로그인하는 중..."));
    TLoginResult r = FTry ? FTry(E[EId]->text(), E[EPw]->text(), E[ECert]->text(), acno, E[EAcpw]->text())
                          : TLoginResult{false, QStringLiteral("로그인 기능이 없습니다")};
    SetBusy(false);
    SetColor(lbErr, QColor(208, 0, 0));
    if (r.Ok && !r.SaveErr.isEmpty()) {
        // Logged in with what was typed, but the next start will not know it.
        FDone = true;
        for (QLineEdit* e : E)
            e->setEnabled(false);
        btnQuit->hide();
        btnGo->setText(QStringLiteral("확인"));
        SetColor(lbErr, QColor(192, 96, 0));
        lbErr->setText(QStringLiteral("로그인했습니다. 입력한 정보를 hts.ini 에 저장하지 못했습니다 — 다음 실행 때 다시 입력해야 합니다.\n") +
                       r.SaveErr);
        btnGo->setFocus();
        return;
    }
    if (r.Ok) {
        lbErr->clear();
        accept();
        return;
    }
    if (!r.SaveErr.isEmpty())
        r.Err += QStringLiteral("  (입력한 정보도 hts.ini 에 저장하지 못했습니다: ") + r.SaveErr + QLatin1Char(')');
    if (AppEnding && AppEnding()) {
        QDialog::reject();
        return;
    }
    lbErr->setText(QStringLiteral("로그인 실패: ") + r.Err);
    int at = FocusForError(r.Err);
    if (FAppKey && (at == ECert || at == EAcpw))
        at = EId;   // boxes the open API does not show
    QLineEdit* box = E[at];
    box->setFocus();
    box->selectAll();
}
