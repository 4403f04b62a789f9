// The hourglass guard: while a guard's Value is True the user is kept out of the main window's
// menus, tools and child windows and the wait cursor shows. Guards nest by count: the window
// stays busy until the outermost guard lets go. Modal boxes and dialogs stay answerable,
// because the main window itself is not disabled, only its bars and central area.
#pragma once

class CHourglass {
public:
    CHourglass() = default;
    // Convenience: CHourglass hg(true) is a guard with Value already True.
    explicit CHourglass(bool value);
    ~CHourglass();
    CHourglass(const CHourglass&) = delete;
    CHourglass& operator=(const CHourglass&) = delete;

    bool Value() const { return m_value; }
    // Failures show the plain box titled "CHourglass::Value".
    void SetValue(bool value);

    // Some guard holds the main window busy.
    static bool Busy() { return s_depth > 0; }
    static int Depth() { return s_depth; }

private:
    static void enter();
    static void leave();

    bool m_value = false;
    static int s_depth;
};
