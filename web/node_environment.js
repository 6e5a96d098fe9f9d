// Under Node the program sees the process's environment (QUELVAR_DATA_DIR, TAMIRE_WINDIR,
// HOME ...), as the Linux build does.
// The program's loader fetches its .wasm with fetch whenever there is one, and Node's own
// takes no file paths: without the flag that removes it, say so and end as on a bad option.
if (typeof fetch === 'function') {
  process.stderr.write('quelvar: run this program as node --no-experimental-fetch quelvar.js [OPTION]...\n');
  process.exit(2);
}
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function () {
  for (var name in process.env) ENV[name] = process.env[name];
  // Files are opened as the program asks, non-blocking included: a FIFO with nobody at its
  // other end is refused at once, as natively, instead of stopping the program for good.
  var flagsForNode = NODEFS.flagsForNode;
  var NonBlocking = 2048;
  NODEFS.flagsForNode = function (flags) {
    var node = flagsForNode(flags);
    return flags & NonBlocking ? node | require('fs').constants.O_NONBLOCK : node;
  };
});
