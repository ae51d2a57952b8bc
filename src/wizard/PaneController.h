// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "wizard/PaneForm.h"

#include <QObject>
#include <QString>
#include <QWidget>

#include <memory>

namespace inkveil {

class PaneHost;

// Base of the wizard's panes: the contract by which the frame drives a pane, with the default
// answer of each operation. A pane builds the form the pane list names and reaches its controls
// through the form's typed members.
class PaneController : public QObject
{
    Q_OBJECT

public:
    explicit PaneController(QObject *parent = nullptr);
    ~PaneController() override;

    // Stores the host and title, builds the form `form` as this pane's view and, when the pane
    // can use it, runs setStatus. Answers whether the form loaded.
    bool setUpForm(const QString &form, const QString &title, PaneHost *host);

    QString title() const { return m_title; }
    QWidget *ownView() const { return m_form ? m_form->view() : nullptr; }
    PaneHost *host() const { return m_host; }

    virtual bool canProceed() const { return true; }
    virtual bool canGoBack() const { return true; }
    virtual void activate() {}
    virtual void setStatus() {}
    virtual void refresh(QObject *sender) { Q_UNUSED(sender) }
    // The host's watermarks and output options were replaced (a preset was opened): show the
    // new ones.
    virtual void modelReplaced() {}

protected:
    // The form has been built: the pane takes its controls. False when the form is not one
    // this pane can show; the pane is then left without a view.
    virtual bool formLoaded() { return true; }

    // The typed controls of this pane's form when uic's class Ui built it; otherwise null.
    template <typename Ui> Ui *controls() const
    {
        return m_form ? m_form->controls<Ui>() : nullptr;
    }

private:
    std::unique_ptr<PaneForm> m_form;
    PaneHost *m_host = nullptr;
    QString m_title;
};

} // namespace inkveil
