// Under Node the program sees the process's environment (QUELVAR_DATA_DIR, TAMIRE_WINDIR,
// HOME ...), as the Linux build does.
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function () {
  for (var name in process.env) ENV[name] = process.env[name];
});
