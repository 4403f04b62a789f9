// The mouse pointer for one scope: shows the given shape and gives back the one before it on
// every way out, also when the pointers of several scopes stack.
#pragma once

#include <QApplication>

class CPointerGuard {
public:
    explicit CPointerGuard(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~CPointerGuard() { QApplication::restoreOverrideCursor(); }
    CPointerGuard(const CPointerGuard&) = delete;
    CPointerGuard& operator=(const CPointerGuard&) = delete;
};
