// The demo's page script, run by ie_script_host: the scriptable control
// connects to the service, plugs the phone named by the first argument
// (through the phonectl program, the second), lists the phones and shows
// the first of that phone's contacts.
var serial = host.Arg(0), phonectl = '"' + host.Arg(1) + '"';
var ctl = host.Create("ieOrvexDialix.OrvexDialix");
var page = { clientId: null, up: false, done: {} };
ctl.Connect({
  ConnectCompleted: function (id) { page.clientId = id; },
  DisconnectCompleted: function (id) { page.clientId = null; },
  OperationCompleted: function (client, id, op) { page.done[id] = op; },
  OperationFailed: function (client, id, hr) { page.done[id] = "failed: " + hr; },
  NewDevice: function (client, device) {},
  DeviceStateChanged: function (client, device) {
    host.Echo("DeviceStateChanged: " + device.SerialNumber + " state " + device.State);
    if (device.SerialNumber == serial && device.State == 2) page.up = true;
  }
});
function run(name, serialNumber) {
  var op = ctl.CreateOperation(page.clientId, name);
  if (serialNumber) op.SerialNumber = serialNumber;
  ctl.BeginOperation(op);
  var id = op.OperationId;
  if (!host.WaitFor(function () { return page.done[id]; }, 60000)) return null;
  return typeof page.done[id] == "string" ? null : page.done[id].OperationData;
}
var ok = host.WaitFor(function () { return page.clientId; }, 30000);
if (ok) {
  host.Echo("connected: " + page.clientId);
  host.Run(phonectl + " plug " + serial, 60000);
  ok = host.WaitFor(function () { return page.up; }, 90000);
}
var devices = ok ? run("IOrvexDialixGetDevicesOperation") : null;
for (var i = 1; devices && i <= devices.Count; i++) {
  var d = devices.Item(i);
  host.Echo("phone " + i + ": " + d.SerialNumber + ", " + d.Manufacturer + " " + d.ModelName + ", \"" +
            d.FriendlyName + "\", state " + d.State);
}
var contacts = devices ? run("IOrvexDialixGetContactsOperation", serial) : null;
if (contacts && contacts.Count > 0) {
  host.Echo(serial + " has " + contacts.Count + " contacts; the first, as its vCard:");
  host.Echo("  " + contacts.Item(1).VCard.replace(/\r?\n$/, "").replace(/\r?\n/g, "\n  "));
} else {
  ok = false;
}
if (page.clientId) {
  ctl.Disconnect(page.clientId);
  host.WaitFor(function () { return page.clientId == null; }, 30000);
}
host.Run(phonectl + " unplug " + serial, 60000);
host.Quit(ok ? 0 : 1);
