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

TLoginDlg::TLoginDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("케스트렐 HTS — 로그인"));
    setFont(AppFont(10));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(Dpi(16, this), Dpi(14, this), Dpi(16, this), Dpi(12, this));
    root->setSpacing(Dpi(8, this));

    auto* top = new QLabel(QStringLiteral(
        "LS증권 로그인 정보를 적어 주세요. 한 번 로그인되면 다음부터는 켜자마자 자동 로그인됩니다.\r\n"
        "이 PC 의 hts.ini 에만 저장되고 다른 곳으로 보내지 않습니다."), this);
    top->setWordWrap(true);
    root->addWidget(top);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(Dpi(10, this));
    const char* caps[5] = {"LS증권 아이디", "비밀번호", "공동인증서 비밀번호", "계좌번호 (11자리)", "계좌 비밀번호"};
    for (int i = 0; i < 5; ++i) {
        grid->addWidget(new QLabel(QString::fromUtf8(caps[i]), this), i, 0);
        E[i] = new QLineEdit(this);
        E[i]->setFixedWidth(Dpi(260, this));
        grid->addWidget(E[i], i, 1);
    }
    for (int i : {EPw, ECert, EAcpw})
        E[i]->setEchoMode(QLineEdit::Password);
    E[EAcno]->setMaxLength(11);
    E[EAcno]->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,11}")), E[EAcno]));
    E[EAcno]->setPlaceholderText(QStringLiteral("- 없이 숫자 11자리  예) 12345678901"));
    root->addLayout(grid);

    auto* note = new QLabel(QStringLiteral("※ 계좌번호는 '-' 빼고 숫자 11자리  (예: 123456789-01 → 12345678901)"), this);
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
                                const QString& acpw, const QString& errMsg, TLoginTry tryFn, QWidget* parent)
{
    auto* d = new TLoginDlg(parent);
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
    if (E[EId]->text().trimmed().isEmpty() || E[EPw]->text().isEmpty() || E[EAcno]->text().trimmed().isEmpty()) {
        lbErr->setText(QStringLiteral("아이디 · 비밀번호 · 계좌번호는 꼭 적어야 합니다."));
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
    QLineEdit* box = E[FocusForError(r.Err)];
    box->setFocus();
    box->selectAll();
}
