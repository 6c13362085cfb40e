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
    <property name="Version" type="u" access="read"/>
  </interface>
</node>`;

const BUTTONS = Clutter.ModifierType.BUTTON1_MASK | Clutter.ModifierType.BUTTON2_MASK |
    Clutter.ModifierType.BUTTON3_MASK | Clutter.ModifierType.BUTTON4_MASK | Clutter.ModifierType.BUTTON5_MASK;

function warp(x, y) {
    Clutter.get_default_backend().get_default_seat().warp_pointer(Math.round(x), Math.round(y));
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

    MoveInFocusedWindow(pid, x, y) {
        const window = global.display.get_focus_window();
        if (!window || (pid !== 0 && window.get_pid() !== pid))
            return false;
        const [left, top] = origin(window);
        warp(left + x, top + y);
        return true;
    }

    MoveTo(x, y) {
        warp(x, y);
    }

    Pointer() {
        const [x, y, mods] = global.get_pointer();
        return [x, y, (mods & BUTTONS) !== 0];
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
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, new ShellPointer());
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        this._object.unexport();
        this._object = null;
    }
}

function init() {
    return new Extension();
}
