// The scriptable control driven from a script host against the real service
// and the simulated phone. Arguments: the phone's serial, the phonectl
// program (unused for now), a folder with "page.txt" (the control reads it)
// and the wizard stand-in. Exits with the number of failures.
var args = WScript.Arguments;
var serial = args(0), phonectl = args(1), folder = args(2);
var failures = 0;
function fail(text) { WScript.Echo("FAIL: " + text); failures++; }
function check(ok, text) { if (!ok) fail(text); }
function code(e) { return e.number < 0 ? e.number + 0x100000000 : e.number; }

var ctl = new ActiveXObject("ieOrvexDialix.OrvexDialix");
var state = { clientId: null, connected: false, completed: {}, failed: {}, messages: 0, disconnected: false };
var callback = {
  ConnectCompleted: function (id) { state.clientId = id; },
  DisconnectCompleted: function (id) { state.disconnected = true; },
  OperationCompleted: function (client, opId, op) { state.completed[opId] = op; },
  OperationFailed: function (client, opId, hr, info) { state.failed[opId] = hr; },
  NewDevice: function (client, device) { this.DeviceStateChanged(client, device); },
  DeviceStateChanged: function (client, device) {
    if (device.SerialNumber == serial && device.State == 2) state.connected = true;
  },
  Notification: function (client, name, notification) {
    if (name == "IOrvexDialixMessageReceivedNotification" && notification.SerialNumber == serial)
      state.messages++;
  }
};

// Callbacks arrive while the script is inside an outgoing COM call: wait in
// a bounded loop around a harmless call the service refuses.
function waitFor(condition, what) {
  for (var i = 0; i < 3000; i++) {
    if (condition()) return true;
    try { ctl.Disconnect(""); } catch (e) {}
  }
  fail("timed out waiting for " + what);
  return false;
}

function run(name, setup) {
  var op = ctl.CreateOperation(state.clientId, name);
  if (setup) setup(op);
  ctl.BeginOperation(op);
  var id = op.OperationId;
  waitFor(function () { return state.completed[id] || state.failed[id] !== undefined; }, name);
  return state.completed[id];
}

ctl.Connect(callback);
if (waitFor(function () { return state.clientId; }, "ConnectCompleted")) {
  var devices = run("IOrvexDialixGetDevicesOperation");
  var list = devices ? devices.OperationData : null;
  var found = false;
  for (var i = 1; list && i <= list.Count; i++) {
    var device = list.Item(i);
    if (device.SerialNumber == serial) {
      found = true;
      if (device.State == 2) state.connected = true;
    }
  }
  check(found, "the phone is not among the devices");

  var contacts = run("IOrvexDialixGetContactsOperation", function (op) { op.SerialNumber = serial; });
  check(contacts && contacts.OperationData.Count >= 0, "no contact list");

  check(ctl.SubscribeNotification(state.clientId, "IOrvexDialixMessageReceivedNotification") === undefined,
        "subscription refused");

  try {
    ctl.CreateOperation(state.clientId, "IOrvexDialixNoSuchOperation");
    fail("an unknown operation was created");
  } catch (e) {
    check(code(e) == 0x80070057, "unknown operation gave " + code(e).toString(16));
  }

  ctl.RegSetCharPref("branch", "key", serial);
  check(ctl.RegGetCharPref("", "") == serial, "the serial number did not come back");
  check(ctl.ReadFile(folder + "\\page.txt") == "page text", "ReadFile gave other text");
  ctl.LaunchPWZ();

  ctl.Disconnect(state.clientId);
  waitFor(function () { return state.disconnected; }, "DisconnectCompleted");
}
WScript.Quit(failures);
