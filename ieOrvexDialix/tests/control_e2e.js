// The scriptable control driven from a script host (ie_script_host) against
// the real service and the simulated phone. Arguments: the phone's serial,
// the phonectl program, and a folder with "page.txt" (the control reads it)
// and the wizard stand-in. The phone exists unplugged; the script plugs it
// once connected. Exits with the number of failures.
var serial = host.Arg(0), phonectl = '"' + host.Arg(1) + '"', folder = host.Arg(2);
var failures = 0;
function fail(text) { host.Echo("FAIL: " + text); failures++; }
function check(ok, text) { if (!ok) fail(text); }
function hex(n) { return (n < 0 ? n + 0x100000000 : n).toString(16); }

var ctl = host.Create("ieOrvexDialix.OrvexDialix");
var state = { clientId: null, up: false, completed: {}, failed: {}, message: null, disconnected: false };
var callback = {
  ConnectCompleted: function (id) { state.clientId = id; },
  DisconnectCompleted: function (id) { state.disconnected = true; },
  OperationCompleted: function (client, opId, op) { state.completed[opId] = op; },
  OperationFailed: function (client, opId, hr, info) { state.failed[opId] = hr; },
  NewDevice: function (client, device) { this.DeviceStateChanged(client, device); },
  DeviceStateChanged: function (client, device) {
    if (device.SerialNumber == serial && device.State == 2) state.up = true;
  },
  Notification: function (client, name, notification) {
    if (name == "IOrvexDialixMessageReceivedNotification" && notification.SerialNumber == serial)
      state.message = notification.Message.Message;
  }
};

function waitFor(condition, ms, what) {
  if (host.WaitFor(condition, ms)) return true;
  fail("timed out waiting for " + what);
  return false;
}
function phone(args) {
  var code = host.Run(phonectl + " " + args, 60000);
  check(code == 0, "phonectl " + args + " gave " + code);
}

// Begins an operation made by name; its generic wrapper once completed.
function run(name, setup) {
  var op = ctl.CreateOperation(state.clientId, name);
  if (setup) setup(op);
  ctl.BeginOperation(op);
  var id = op.OperationId;
  waitFor(function () { return state.completed[id] || state.failed[id] !== undefined; }, 60000, name);
  if (state.failed[id] !== undefined) fail(name + " failed with " + hex(state.failed[id]));
  return state.completed[id];
}

ctl.Connect(callback);
if (waitFor(function () { return state.clientId; }, 30000, "ConnectCompleted")) {
  phone("plug " + serial);
  waitFor(function () { return state.up; }, 90000, "the phone to come up");

  var devices = run("IOrvexDialixGetDevicesOperation");
  var list = devices ? devices.OperationData : null, found = false;
  for (var i = 1; list && i <= list.Count; i++) if (list.Item(i).SerialNumber == serial) found = true;
  check(found, "the phone is not among the devices");

  var contacts = run("IOrvexDialixGetContactsOperation", function (op) { op.SerialNumber = serial; });
  var clist = contacts ? contacts.OperationData : null;
  check(clist && clist.Count == 1, "the contact list does not hold the phone's one contact");
  var vcard = clist && clist.Count >= 1 ? clist.Item(1).VCard : "";
  check(vcard.indexOf("BEGIN:VCARD") == 0 && vcard.indexOf("+358401234") > 0, "no vCard: " + vcard);
  host.Echo("contact: " + vcard.replace(/\r?\n/g, " | "));

  ctl.SubscribeNotification(state.clientId, "IOrvexDialixMessageReceivedNotification");
  phone("deliver " + serial + " +358405555 \"From e2e\"");
  waitFor(function () { return state.message !== null; }, 60000, "the message notification");
  check(state.message === null || state.message == "From e2e", "the notification carried " + state.message);

  try {
    ctl.CreateOperation(state.clientId, "IOrvexDialixNoSuchOperation");
    fail("an unknown operation was created");
  } catch (e) {
    check(hex(e.number) == "80070057", "unknown operation gave " + hex(e.number));
  }

  ctl.RegSetCharPref("branch", "key", serial);
  check(ctl.RegGetCharPref("", "") == serial, "the serial number did not come back");
  check(ctl.ReadFile(folder + "\\page.txt") == "page text", "ReadFile gave other text");
  ctl.LaunchPWZ();

  ctl.Disconnect(state.clientId);
  waitFor(function () { return state.disconnected; }, 30000, "DisconnectCompleted");
}
host.Echo("control script: " + failures + " failures");
host.Quit(failures);
