// The application object: one instance, `gVeltra`, holding the main window and the shared
// services every window reaches through it (project file list, status bar, recent files).
#pragma once

#include "core/cproject.h"
#include "core/widgets/mrulist.h"
#include "core/widgets/statusbar.h"

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
    // The status-bar wrapper and the recent-file list: the same objects on every call.
    CVeltraStatusBar& StatusBar() { return *m_statusBar; }
    CMRUList& MRUList() { return *m_mruList; }

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
    std::unique_ptr<CVeltraStatusBar> m_statusBar;
    std::unique_ptr<CMRUList> m_mruList;
    bool m_useStatusBar = false;
    bool m_useMRUList = false;
    QPointer<QWidget> m_mainForm;
    QVariantMap m_settings;
    QVariantMap m_objects;
};

CVeltra& gVeltra();
