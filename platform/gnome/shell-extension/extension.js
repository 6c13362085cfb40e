// Runs inside GNOME Shell (43, 44): the compositor knows every window's place
// and the pointer's, which a Wayland client cannot. It answers Velmora's agent
// on the session bus, and only moves the pointer when asked to.
'use strict';

const { Clutter, Gio, GLib } = imports.gi;

const BUS_NAME = 'com.brightfen.velmora.ShellPointer';
const OBJECT_PATH = '/com/brightfen/velmora/ShellPointer';
const INTERFACE = `
<node>
  <interface name="com.brightfen.velmora.ShellPointer">
    <method name="MoveInFocusedWindow">
      <arg type="u" name="pid" direction="in"/>
      <arg type="d" name="x" direction="in"/>
      <arg type="d" name="y" direction="in"/>
      <arg type="b" name="moved" direction="out"/>
    </method>
    <method name="MoveTo">
      <arg type="d" name="x" direction="in"/>
      <arg type="d" name="y" direction="in"/>
    </method>
    <method name="Pointer">
      <arg type="d" name="x" direction="out"/>
      <arg type="d" name="y" direction="out"/>
      <arg type="b" name="buttonDown" direction="out"/>
    </method>
    <method name="WindowAt">
      <arg type="d" name="x" direction="in"/>
      <arg type="d" name="y" direction="in"/>
      <arg type="u" name="pid" direction="out"/>
      <arg type="d" name="originX" direction="out"/>
      <arg type="d" name="originY" direction="out"/>
    </method>
    <method name="FocusedProcess">
      <arg type="u" name="pid" direction="out"/>
    </method>
    <property name="Version" type="u" access="read"/>
  </interface>
</node>`;

const BUTTONS = Clutter.ModifierType.BUTTON1_MASK | Clutter.ModifierType.BUTTON2_MASK |
    Clutter.ModifierType.BUTTON3_MASK | Clutter.ModifierType.BUTTON4_MASK | Clutter.ModifierType.BUTTON5_MASK;

// A virtual pointer of its own, as a real mouse would: clients hear the move
// (a warp of the seat's pointer moves it silently).
let pointerDevice = null;

// The seat takes the move in its own thread: the answer waits until the
// pointer is there, so that whoever reads it next sees where it went.
const LANDING_TIMEOUT_MS = 100;

function moveThen(x, y, done) {
    pointerDevice.notify_absolute_motion(GLib.get_monotonic_time(), x, y);
    const landed = () => {
        const [atX, atY] = global.get_pointer();
        return Math.abs(atX - x) < 1 && Math.abs(atY - y) < 1;
    };
    if (landed()) {
        done();
        return;
    }
    const deadline = GLib.get_monotonic_time() + LANDING_TIMEOUT_MS * 1000;
    GLib.timeout_add(GLib.PRIORITY_HIGH, 1, () => {
        if (!landed() && GLib.get_monotonic_time() < deadline)
            return GLib.SOURCE_CONTINUE;
        done();
        return GLib.SOURCE_REMOVE;
    });
}

// The shell animates a window as it maps, and its client hears of the
// pointer as the moving window passes under it: where that was, not where
// the pointer rests once the window has settled. So the move is made once
// more when the window's animation ends (one that is running, or starts
// soon: the window may be focused before it is shown), unless the pointer
// has left the spot by then.
const SETTLE_WATCH_MS = 1000;

function moveAgainWhenSettled(window, x, y) {
    const actor = window.get_compositor_private();
    if (!actor)
        return;
    let destroyed = false;
    let timeoutId = 0;
    const stop = () => {
        if (timeoutId)
            GLib.source_remove(timeoutId);
        timeoutId = 0;
        if (!destroyed) {
            actor.disconnect(settledId);
            actor.disconnect(destroyId);
        }
    };
    const settledId = actor.connect('transitions-completed', () => {
        stop();
        const [atX, atY] = global.get_pointer();
        if (pointerDevice && Math.abs(atX - x) < 1 && Math.abs(atY - y) < 1)
            pointerDevice.notify_absolute_motion(GLib.get_monotonic_time(), x, y);
    });
    const destroyId = actor.connect('destroy', () => {
        destroyed = true;
        stop();
    });
    timeoutId = GLib.timeout_add(GLib.PRIORITY_DEFAULT, SETTLE_WATCH_MS, () => {
        timeoutId = 0;
        stop();
        return GLib.SOURCE_REMOVE;
    });
}

// A window's own coordinates start at its surface's corner, shadow included:
// where its accessibility positions count from.
function origin(window) {
    const rect = window.get_buffer_rect();
    return [rect.x, rect.y];
}

class ShellPointer {
    get Version() {
        return 1;
    }

    MoveInFocusedWindowAsync([pid, x, y], invocation) {
        const window = global.display.get_focus_window();
        if (!window || (pid !== 0 && window.get_pid() !== pid)) {
            invocation.return_value(new GLib.Variant('(b)', [false]));
            return;
        }
        const [left, top] = origin(window);
        moveThen(left + x, top + y, () => invocation.return_value(new GLib.Variant('(b)', [true])));
        moveAgainWhenSettled(window, left + x, top + y);
    }

    MoveToAsync([x, y], invocation) {
        moveThen(x, y, () => invocation.return_value(null));
    }

    Pointer() {
        const [x, y, mods] = global.get_pointer();
        return [x, y, (mods & BUTTONS) !== 0];
    }

    // The process of the window with the focus: the shell hands the focus
    // on the moment a window goes, before its client hears of it; 0 for none.
    FocusedProcess() {
        const window = global.display.get_focus_window();
        return window ? Math.max(window.get_pid(), 0) : 0;
    }

    // The topmost window under a point on screen, and where its own
    // coordinates start; pid 0 when there is none.
    WindowAt(x, y) {
        const actors = global.get_window_actors().slice().reverse();
        for (const actor of actors) {
            const window = actor.get_meta_window();
            if (!window || window.minimized || !actor.visible)
                continue;
            const frame = window.get_frame_rect();
            if (x < frame.x || y < frame.y || x >= frame.x + frame.width || y >= frame.y + frame.height)
                continue;
            const [left, top] = origin(window);
            return [Math.max(window.get_pid(), 0), left, top];
        }
        return [0, 0, 0];
    }
}

class Extension {
    enable() {
        pointerDevice = Clutter.get_default_backend().get_default_seat()
            .create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, new ShellPointer());
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        this._object.unexport();
        this._object = null;
        pointerDevice = null;
    }
}

function init() {
    return new Extension();
}
