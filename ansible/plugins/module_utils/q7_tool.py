# Runs tervane-q7 on the managed host and turns its --json documents into module results.
#
# Members of the tool's documents are read with defaults throughout: a member that is
# missing or of another type than expected gives an empty value, never a traceback, so
# that a newer tool that adds or reshapes members still gives a clear task result.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os
import re
import signal
import subprocess
import tempfile

from ansible.module_utils.common.text.converters import to_text

COMMON_ARGUMENT_SPEC = dict(
    port=dict(type='str'),
    tool=dict(type='path', default='tervane-q7'),
    timeout=dict(type='int', default=1200),
)

# Grace given to the tool to finish its current command after it was asked to stop.
STOP_GRACE_SECONDS = 60

# The tool hides the values of settings whose path says password or key, or has the word pin
# (mobile_simple/pin, sim_pin, but not ping); so do we.
_SECRET_PATH = re.compile(r'password|key|(?<![a-z])pin(?![a-z])', re.IGNORECASE)

# Members of every document that are about the run, not about the gateway.
_RUN_MEMBERS = ('command', 'ok', 'exitStatus', 'errors')


def common_argument_spec(**own):
    spec = dict(COMMON_ARGUMENT_SPEC)
    spec.update(own)
    return spec


def is_secret_path(path):
    return bool(_SECRET_PATH.search(to_text(path)))


def snake_case(name):
    return re.sub(r'(?<=[a-z0-9])([A-Z])', r'_\1', to_text(name)).lower()


def member(document, name, kind, default):
    """The member `name` of a document if it is of type `kind`, else `default`."""
    if isinstance(document, dict):
        value = document.get(name)
        if isinstance(value, kind) and not (kind is int and isinstance(value, bool)):
            return value
    return default


def text_member(document, name):
    value = member(document, name, (str, int, float), '')
    return to_text(value) if not isinstance(value, bool) else ''


class ToolRun(object):
    """One run of tervane-q7: its exit status, its JSON document (empty when it wrote
    none) and its standard error."""

    def __init__(self, rc, document, stderr):
        self.rc = rc
        self.document = document
        self.stderr = stderr

    @property
    def ok(self):
        ok = member(self.document, 'ok', bool, None)
        return self.rc == 0 if ok is None else (ok and self.rc == 0)

    def errors(self):
        lines = []
        for error in member(self.document, 'errors', list, []):
            if isinstance(error, dict):
                error = error.get('message') or json.dumps(error, sort_keys=True)
            lines.append(to_text(error))
        return lines

    def failure_message(self):
        lines = self.errors()
        if not lines and self.stderr.strip():
            lines = [line for line in self.stderr.strip().splitlines() if line.strip()][-3:]
        if not lines:
            lines = ['tervane-q7 ended with exit status %d' % self.rc]
        return '; '.join(line[len('tervane-q7: '):] if line.startswith('tervane-q7: ') else line
                         for line in lines)


class Q7Tool(object):
    """tervane-q7 as one module's options say: which program, which port, how long."""

    def __init__(self, module):
        self.module = module
        params = module.params
        tool = params['tool']
        if os.sep in tool:
            if not os.access(tool, os.X_OK):
                module.fail_json(msg='cannot run %s: no such program, or not executable' % tool)
            self.program = tool
        else:
            self.program = module.get_bin_path(tool)
            if not self.program:
                module.fail_json(msg='%s is not installed on this host; install it, or give its path in tool' % tool)
        self.port = params['port']
        self.timeout = params['timeout']

    def command(self, args):
        line = [self.program, '--json']
        if self.port:
            line += ['--port', self.port]
        return line + list(args)

    def run(self, args):
        line = self.command(args)
        process = subprocess.Popen(line, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        try:
            out, err = process.communicate(timeout=self.timeout if self.timeout > 0 else None)
        except subprocess.TimeoutExpired:
            # Ctrl-C lets the tool finish the command it is sending and send nothing more.
            process.send_signal(signal.SIGINT)
            try:
                process.communicate(timeout=STOP_GRACE_SECONDS)
            except subprocess.TimeoutExpired:
                process.kill()
                process.communicate()
            self.module.fail_json(msg='tervane-q7 did not finish within %d s and was stopped' % self.timeout,
                                  cmd=line)
        try:
            document = json.loads(to_text(out, errors='surrogate_or_replace'))
        except ValueError:
            document = {}
        if not isinstance(document, dict):
            document = {}
        return ToolRun(process.returncode, document, to_text(err, errors='surrogate_or_replace'))


def gateway_members(document):
    """What a document says about the gateway, with snake_case names."""
    facts = {}
    for name, value in document.items():
        if name in _RUN_MEMBERS:
            continue
        if isinstance(value, dict):
            value = dict((snake_case(k), v) for k, v in value.items())
        facts[snake_case(name)] = value
    return facts


def _changes(document):
    changes = []
    for change in member(document, 'changes', list, []):
        if not isinstance(change, dict):
            continue
        changes.append(dict(
            kind=text_member(change, 'kind'),
            path=text_member(change, 'path'),
            before=text_member(change, 'before'),
            after=text_member(change, 'after'),
        ))
    return changes


def _diff(changes, port):
    def lines(side):
        text = ''
        for c in changes:
            text += '%s %s: %s' % (c['kind'], c['path'], c[side])
            # A hidden value reads the same on both sides; say that it changes all the same.
            if side == 'after' and c['before'] == c['after']:
                text += ' (changes)'
            text += '\n'
        return text
    where = port or 'gateway'
    return dict(before=lines('before'), after=lines('after'),
                before_header='%s (before)' % where, after_header='%s (after)' % where)


def write_profile(module, profile):
    """Writes a profile the module built for tervane-q7 apply; owner-only, in the module's
    temporary folder that Ansible removes afterwards."""
    handle, path = tempfile.mkstemp(prefix='q7-profile-', suffix='.json', dir=module.tmpdir)
    with os.fdopen(handle, 'w') as stream:
        json.dump(profile, stream, indent=2, sort_keys=True)
    return path


def run_apply(module, profile_path, extra_args=(), unchanged_msg=None):
    """Runs tervane-q7 apply on a profile and ends the module with Ansible's contract:
    changed from the tool's result, check mode as --check, diff mode as --diff in
    before/after form, and a failure with the tool's message."""
    tool = Q7Tool(module)
    args = list(extra_args)
    if module.check_mode:
        args.append('--check')
    if module._diff:
        args.append('--diff')
    # An absolute path after "--": a file named "-" or "-x.yaml" is a file, not standard
    # input or an option.
    run = tool.run(args + ['apply', '--', os.path.abspath(profile_path)])
    document = run.document
    changes = _changes(document)

    if module.check_mode:
        changed = bool(changes) and run.ok
    else:
        changed = member(document, 'changed', bool, None)
        if changed is None:
            changed = bool(changes) and run.ok

    result = dict(
        changed=changed,
        changes=changes,
        port=text_member(document, 'port') or tool.port or '',
        imei=text_member(document, 'imei'),
        firmware_before=text_member(document, 'firmwareBefore'),
        firmware_after=text_member(document, 'firmwareAfter'),
        radio_firmware=text_member(document, 'radioFirmware'),
        failures=[to_text(f) for f in member(document, 'failures', list, [])],
        exit_status=run.rc,
    )
    if module._diff and changes:
        result['diff'] = _diff(changes, result['port'])
    if not run.ok:
        module.fail_json(msg=run.failure_message(), **result)
    if changes:
        verb = 'would change' if module.check_mode else 'changed'
        result['msg'] = '%s %s' % (verb, ', '.join('%s %s' % (c['kind'], c['path']) for c in changes))
    else:
        result['msg'] = unchanged_msg or 'the gateway holds the profile'
    module.exit_json(**result)
