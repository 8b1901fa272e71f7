#!/usr/bin/env python3
"""Every subcommand's --json document, from a run that worked and from one that found no
device, and the document of a run on several gateways, validated against the JSON Schemas
the package installs.

Usage: json_schema_test.py SCHEMA_DIR TOOL SIMULATOR
"""

import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import jsonschema
except ImportError:  # Debian package python3-jsonschema
    print('python3-jsonschema is not installed')
    sys.exit(77)

ARGS = sys.argv[1:]
sys.argv[1:] = []
# The link's pauses (the 20 s settle, the restart polling) pass this much faster.
SPEED_UP = 100
NO_PORT = '/nonexistent/ttyQ7'

# A run that works for each subcommand; FILE, IMAGE, RADIO, PROFILE and DIR stand for files
# the test makes. The order matters only where a run needs what an earlier one left.
WORKING_RUNS = (
    ('info',),
    ('settings', 'get'),
    ('settings', 'get', 'mobile_simple/apn', 'no_such/setting'),
    ('settings', 'set', 'mobile_simple/apn=fleet.example', 'system/location=Mast 4'),
    ('backup', 'DIR/backup.cfg'),
    ('restore', 'DIR/backup.cfg'),
    ('reboot',),
    ('--yes', 'factory-reset'),
    ('firmware', 'IMAGE'),
    ('radio-firmware', 'RADIO'),
    ('python', 'ls'),
    ('python', 'put', 'FILE'),
    ('python', 'get', 'sensor.py', 'DIR/'),
    ('python', 'rm', 'sensor.py'),
    ('--check', '--diff', 'apply', 'PROFILE'),
    ('apply', 'PROFILE'),
    ('capture', 'DIR/golden.yaml'),
    ('devices',),
    ('--probe', 'devices'),
    ('send', 'AT+CGMI\\r\\n', 'AT+NOPE\\r\\n'),
)


def subcommand_of(args):
    words = [arg for arg in args if not arg.startswith('-')]
    return ' '.join(words[:2]) if words[0] in ('settings', 'python') else words[0]


class JsonSchemas(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        schema_dir, cls.tool, simulator = (os.path.abspath(arg) for arg in ARGS)
        cls.schemas = {}
        for path in glob.glob(os.path.join(schema_dir, '*.schema.json')):
            with open(path) as stream:
                schema = json.load(stream)
            jsonschema.Draft7Validator.check_schema(schema)
            cls.schemas[os.path.basename(path)[:-len('.schema.json')]] = jsonschema.Draft7Validator(schema)
        cls.work = tempfile.mkdtemp(prefix='q7-schema-')
        # Restarts (restore, reboot, factory-reset, firmware) keep the port away only briefly, as
        # the tool's pauses pass SPEED_UP times faster.
        cls.simulator = subprocess.Popen([simulator, '--count', '2', '--link', cls.work + '/q7',
                                          '--restart-delay', '10'],
                                         stdout=subprocess.PIPE, text=True)
        cls.ports = [cls.simulator.stdout.readline().strip() for _ in range(2)]
        cls.files = dict(DIR=cls.work, FILE=cls.write('sensor.py', 'print(21.5)\n'),
                         IMAGE=cls.write('q7-2.5.0.3.bin', '\x01' * 2048),
                         RADIO=cls.write('ravlo-2270.ebl', '\x02' * 1024))
        cls.files['PROFILE'] = cls.write('fleet.yaml', 'settings:\n  mobile_simple/apn: staged.example\n'
                                         'python:\n  present: [%s]\n' % cls.files['FILE'])

    @classmethod
    def tearDownClass(cls):
        cls.simulator.terminate()
        cls.simulator.wait(timeout=30)
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def write(cls, name, text):
        path = os.path.join(cls.work, name)
        with open(path, 'w') as stream:
            stream.write(text)
        return path

    def run_tool(self, args):
        line = [self.tool, '--speed-up', str(SPEED_UP), '--json']
        for arg in args:
            for name, value in self.files.items():
                if arg == name or arg.startswith(name + '/'):
                    arg = value + arg[len(name):]
            line.append(arg)
        run = subprocess.run(line, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True, timeout=300)
        return run, json.loads(run.stdout)

    def assert_valid(self, schema, document):
        problems = ['%s: %s' % ('/'.join(str(p) for p in error.absolute_path) or '(document)', error.message)
                    for error in self.schemas[schema].iter_errors(document)]
        self.assertEqual(problems, [], json.dumps(document, indent=2))

    def test_there_is_a_schema_for_every_subcommand(self):
        for args in WORKING_RUNS:
            self.assertIn(subcommand_of(args).replace(' ', '-'), self.schemas)
        self.assertIn('fleet', self.schemas)

    def test_a_run_that_worked(self):
        for args in WORKING_RUNS:
            with self.subTest(' '.join(args)):
                run, document = self.run_tool(['--port', self.ports[0]] + list(args))
                self.assert_valid(subcommand_of(args).replace(' ', '-'), document)
                # The runs that go wrong on purpose: a setting path the device lacks (a usage
                # error), a command it answers with ERROR.
                # A check of a gateway that differs from its profile says so by its status.
                expected = (2 if 'no_such/setting' in args else 1 if args[0] == 'send'
                            else 4 if args[:3] == ('--check', '--diff', 'apply') else 0)
                self.assertEqual(run.returncode, expected, run.stderr)

    def test_watch_lines(self):
        # watch writes JSON Lines: each reading is a document of its own.
        line = [self.tool, '--speed-up', str(SPEED_UP), '--port', self.ports[0], '--json', 'watch', '--count', '2',
                '--interval', '0.1']
        run = subprocess.run(line, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stderr)
        readings = run.stdout.splitlines()
        self.assertEqual(len(readings), 2, run.stdout)
        for reading in readings:
            self.assert_valid('watch', json.loads(reading))

    def test_a_run_without_a_device(self):
        for args in WORKING_RUNS:
            with self.subTest(' '.join(args)):
                run, document = self.run_tool(['--port', NO_PORT] + list(args))
                self.assert_valid(subcommand_of(args).replace(' ', '-'), document)

    def test_a_run_on_several_gateways(self):
        for args in (('info',), ('settings', 'get', 'mobile_simple/apn'), ('--check', 'apply', 'PROFILE')):
            with self.subTest(' '.join(args)):
                line = []
                for port in self.ports + [NO_PORT]:
                    line += ['--port', port]
                run, document = self.run_tool(line + list(args))
                self.assertEqual(run.returncode, 3, run.stderr)
                self.assert_valid('fleet', document)
                self.assertEqual(len(document['gateways']), 3)
                for gateway in document['gateways']:
                    self.assert_valid(subcommand_of(args).replace(' ', '-'), gateway)


if __name__ == '__main__':
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(JsonSchemas))
    sys.exit(0 if result.wasSuccessful() else 1)
