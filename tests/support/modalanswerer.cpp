#include "tests/support/modalanswerer.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <algorithm>

ModalAnswerer::ModalAnswerer(int timeoutMs) : m_timeoutMs(timeoutMs)
{
    // A modal already up when the answerer is armed belongs to the caller (a dialog whose
    // handler runs the code under test): answering it would be a race with the one to come.
    if (QWidget* open = QApplication::activeModalWidget())
        m_done.emplace_back(open);
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
    m_waiting.start();
}

ModalAnswerer::~ModalAnswerer()
{
    m_timer.stop();
    if (QApplication::activeModalWidget()) {
        ADD_FAILURE() << "a modal window was still open when the answerer ended";
        CloseAllModals();
    }
    EXPECT_TRUE(m_answers.empty()) << m_answers.size() << " scripted modal answer(s) unused";
}

ModalAnswerer& ModalAnswerer::Then(Answer answer)
{
    if (m_answers.empty())
        m_waiting.restart();
    m_answers.push_back(std::move(answer));
    return *this;
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    const bool known = modal && std::any_of(m_done.begin(), m_done.end(),
                                            [&](const QPointer<QWidget>& p) { return p == modal; });
    if (modal && !known) {
        m_done.emplace_back(modal);
        m_seen.push_back(QString::fromLatin1(modal->metaObject()->className()));
        if (m_answers.empty()) {
            ADD_FAILURE() << "unscripted modal window " << modal->metaObject()->className() << " \""
                          << modal->windowTitle().toStdString() << "\"";
            QTimer::singleShot(0, modal, [p = QPointer<QWidget>(modal)] {
                if (p)
                    Reject()(p);
            });
            return;
        }
        Answer answer = std::move(m_answers.front());
        m_answers.pop_front();
        ++m_answered;
        m_waiting.restart();
        // Queued: the answer may open a further modal window, which must not block the poller.
        QTimer::singleShot(0, modal, [answer = std::move(answer), p = QPointer<QWidget>(modal)] {
            if (p)
                answer(p);
        });
        return;
    }
    if (!m_answers.empty() && m_waiting.elapsed() > m_timeoutMs) {
        ADD_FAILURE() << "no modal window came to answer within " << m_timeoutMs << " ms";
        m_answers.clear();
        CloseAllModals();
    }
}

ModalAnswerer::Answer ModalAnswerer::Reject()
{
    return [](QWidget* w) {
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
        else
            w->close();
    };
}

ModalAnswerer::Answer ModalAnswerer::Accept()
{
    return [](QWidget* w) {
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->accept();
    };
}

ModalAnswerer::Answer ModalAnswerer::ChooseFile(const QString& path)
{
    return [path](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!dialog || !edit) {
            ADD_FAILURE() << "not a file dialog with a name box: " << w->metaObject()->className();
            Reject()(w);
            return;
        }
        // selectFile() does nothing while the name box has the focus: type the name instead,
        // then accept through QDialog, which runs the file dialog's own checks.
        edit->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    };
}

ModalAnswerer::Answer ModalAnswerer::PickFileType(int index, Answer then)
{
    return [index, then](QWidget* w) {
        auto* combo = w->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        if (!combo || index < 0 || index >= combo->count()) {
            ADD_FAILURE() << "no file-type entry " << index;
            Reject()(w);
            return;
        }
        QPointer<QWidget> guard(w);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        emit combo->textActivated(combo->itemText(index));
        if (then)
            QTimer::singleShot(0, w, [then, guard] {
                if (guard && guard->isVisible())
                    then(guard);
            });
    };
}

void ModalAnswerer::CloseAllModals()
{
    for (int guard = 0; guard < 20; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QApplication::processEvents();
    }
}
