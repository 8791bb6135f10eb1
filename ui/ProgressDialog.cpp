#include "ui/ProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/EngineHost.h"

namespace tkw {

CProgressDialog::CProgressDialog(QWidget* parent, const QString& title, int flags)
    : QDialog(parent),
      m_label(new QLabel(this)),
      m_bar(new QProgressBar(this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("ProgressDialog"));
    setWindowTitle(title);
    setMinimumWidth(480);
    m_label->setMinimumWidth(440);
    m_bar->setVisible(flags != IEngineHost::kProgressBackup && flags != IEngineHost::kProgressWait);
    m_bar->setRange(0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    m_cancel->setObjectName(QStringLiteral("Cancel"));
    connect(m_cancel, &QPushButton::clicked, this, &CProgressDialog::Cancel);
}

void CProgressDialog::Cancel() {
    m_cancel->setEnabled(false);
    emit cancelRequested();
}

void CProgressDialog::reject() {
    Cancel();  // the dialog stays until the run has stopped
}

void CProgressDialog::SetLine(const QString& text) {
    m_line = text;
    UpdateLine();
}

void CProgressDialog::UpdateLine() {
    m_label->setText(m_label->fontMetrics().elidedText(m_line, Qt::ElideMiddle, m_label->width()));
}

void CProgressDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    UpdateLine();
}

void CProgressDialog::SetProgress(quint64 completed, quint64 total) {
    // The bar counts in thousandths, so totals beyond an int still fit.
    m_bar->setRange(0, 1000);
    m_bar->setValue(total == 0 ? 0 : static_cast<int>(completed * 1000 / total));
}

}  // namespace tkw
