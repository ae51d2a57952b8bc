// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPointer>
#include <QWidget>

namespace inkveil {

template <typename Ui> class CompiledForm;

// A pane's form: its top widget and, for a form compiled by uic, the typed controls. The form
// owns the view until the frame gives it a parent.
class PaneForm
{
public:
    explicit PaneForm(QWidget *view)
        : m_view(view)
    {}
    virtual ~PaneForm()
    {
        if (m_view && !m_view->parent())
            delete m_view;
    }
    PaneForm(const PaneForm &) = delete;
    PaneForm &operator=(const PaneForm &) = delete;

    QWidget *view() const { return m_view; }

    // The controls when this is the compiled form of the uic class Ui; otherwise null.
    template <typename Ui> Ui *controls()
    {
        auto *compiled = dynamic_cast<CompiledForm<Ui> *>(this);
        return compiled ? &compiled->ui : nullptr;
    }

private:
    QPointer<QWidget> m_view;
};

// The form that uic's class Ui builds.
template <typename Ui> class CompiledForm final : public PaneForm
{
public:
    CompiledForm()
        : PaneForm(new QWidget)
    {
        ui.setupUi(view());
    }

    Ui ui;
};

} // namespace inkveil
