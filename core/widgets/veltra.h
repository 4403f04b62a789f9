// The application object: one instance, `gVeltra`, holding the main window and the shared
// services every window reaches through it (project file list, status bar, recent files).
#pragma once

#include "core/cproject.h"

#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <memory>

class CVeltra {
public:
    CVeltra();
    ~CVeltra();

    QWidget* MainForm() const { return m_mainForm.data(); }
    void SetMainForm(QWidget* form) { m_mainForm = form; }
    CProject& Project() { return *m_project; }

    void SetUseMRUList(bool v) { m_useMRUList = v; }
    bool UseMRUList() const { return m_useMRUList; }
    void SetUseStatusBar(bool v) { m_useStatusBar = v; }
    bool UseStatusBar() const { return m_useStatusBar; }

    QVariantMap& Settings() { return m_settings; }
    void SetSettings(const QVariantMap& v) { m_settings = v; }
    QVariantMap& Objects() { return m_objects; }
    void SetObjects(const QVariantMap& v) { m_objects = v; }

private:
    std::unique_ptr<CProject> m_project;
    bool m_useStatusBar = false;
    bool m_useMRUList = false;
    QPointer<QWidget> m_mainForm;
    QVariantMap m_settings;
    QVariantMap m_objects;
};

CVeltra& gVeltra();
