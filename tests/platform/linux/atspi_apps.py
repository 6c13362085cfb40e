# What the desktop tests' probes share: the AT-SPI application of a process
# and its active windows, read as any client reads them. Asks nothing of
# other applications beyond their process ids (which the bus daemon answers),
# so a frozen one never stalls a probe.
import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def active_windows(app):
    for j in range(app.get_child_count()):
        window = app.get_child_at_index(j)
        if window is not None and window.get_state_set().contains(Atspi.StateType.ACTIVE):
            yield window
