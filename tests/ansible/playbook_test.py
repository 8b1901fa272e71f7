#!/usr/bin/env python3
"""The collection tervane.q7 as a fleet's operator uses it: installed from the built tarball,
its staging playbook run with ansible-playbook over an inventory of local hosts, each
pointing at its own simulated gateway.

Usage: playbook_test.py playbooks TARBALL_DIR TOOL SIMULATOR
       playbook_test.py docs TARBALL_DIR
       playbook_test.py values TARBALL_DIR
       playbook_test.py bench TARBALL_DIR TOOL SIMULATOR
       playbook_test.py devices TARBALL_DIR
"""

import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

MODULES = ('q7_facts', 'q7_profile', 'q7_python_file', 'q7_firmware', 'q7_devices')
GOOD_HOSTS = ('gw1', 'gw2', 'gw3')
# Answers every settings change with ERROR: staging fails there, and only there.
BAD_HOST = 'gwbad'
SECRET = 'pw-never-shown-4711'
MAIN_PY = 'print("fleet gateway")\n'
# The link's pauses (the 20 s settle, the restart polling) pass this much faster.
SPEED_UP = 100

ARGS = sys.argv[1:]
sys.argv[1:] = []


def install_collection(tarball_dir, into):
    tarballs = sorted(glob.glob(os.path.join(tarball_dir, 'tervane-q7-*.tar.gz')), key=os.path.getmtime)
    if not tarballs:
        raise unittest.SkipTest('no collection tarball in %s (ansible-galaxy missing at build time)' % tarball_dir)
    subprocess.run(['ansible-galaxy', 'collection', 'install', '--offline', '--force', '-p', into, tarballs[-1]],
                   check=True, stdout=subprocess.DEVNULL)


def ansible_environment(collections):
    env = dict(os.environ)
    env.update(ANSIBLE_COLLECTIONS_PATH=collections, ANSIBLE_NOCOLOR='1', ANSIBLE_FORCE_COLOR='0',
               ANSIBLE_LOCAL_TEMP=os.path.join(os.path.dirname(collections), 'tmp'), ANSIBLE_HOST_KEY_CHECKING='0',
               ANSIBLE_RETRY_FILES_ENABLED='0', ANSIBLE_PYTHON_INTERPRETER=sys.executable)
    env.pop('ANSIBLE_CONFIG', None)
    return env


def recap(output):
    """PLAY RECAP counts per host: {'gw1': {'ok': 6, 'changed': 4, ...}}."""
    hosts = {}
    for host, counts in re.findall(r'^(\S+)\s+:\s+(ok=.*)$', output, re.MULTILINE):
        hosts[host] = dict((k, int(v)) for k, v in re.findall(r'(\w+)=(\d+)', counts))
    return hosts


class StagingPlaybook(unittest.TestCase):
    """One fleet of simulated gateways for all runs, in order: check, stage, stage again."""

    @classmethod
    def setUpClass(cls):
        tarball_dir, cls.real_tool, simulator = (os.path.abspath(arg) for arg in ARGS)
        cls.work = tempfile.mkdtemp(prefix='q7-ansible-')
        collections = os.path.join(cls.work, 'collections')
        install_collection(tarball_dir, collections)
        cls.env = ansible_environment(collections)

        cls.simulators = []
        ports = cls.start_simulator(simulator, ['--count', str(len(GOOD_HOSTS)), '--link', cls.work + '/q7'])
        bad_port = cls.start_simulator(simulator, ['--link', cls.work + '/bad', '--fault', 'error-for=set_setting'])
        tool = os.path.join(cls.work, 'tervane-q7')
        with open(tool, 'w') as stream:
            stream.write('#!/bin/sh\nexec "%s" --speed-up %d "$@"\n' % (cls.real_tool, SPEED_UP))
        os.chmod(tool, 0o755)

        files = os.path.join(cls.work, 'files')
        os.mkdir(files)
        with open(os.path.join(files, 'main.py'), 'w') as stream:
            stream.write(MAIN_PY)
        with open(os.path.join(files, 'q7-2.5.0.3.bin'), 'wb') as stream:
            stream.write(bytes(range(256)) * 8)

        hosts = dict((name, dict(q7_port=port)) for name, port in zip(GOOD_HOSTS, ports))
        hosts[BAD_HOST] = dict(q7_port=bad_port[0])
        cls.ports = dict((name, values['q7_port']) for name, values in hosts.items())
        inventory = dict(q7_gateways=dict(hosts=hosts, vars=dict(
            ansible_connection='local',
            ansible_python_interpreter=sys.executable,
            q7_tool=tool,
            q7_firmware=dict(version='2.5.0.3', image=os.path.join(files, 'q7-2.5.0.3.bin')),
            q7_settings={'mobile_simple': {'apn': 'fleet.example'}, 'tcp_server/state': True,
                         'tcp_server/port': 2102},
            q7_secrets={'mobile_simple/password': SECRET},
            q7_radio={'radio/node_id': '{{ inventory_hostname }}'},
            q7_autostart=dict(enabled=True, command='main.py'),
            q7_python_files=[os.path.join(files, 'main.py')],
            q7_python_absent=['xbee.py'],
        )))
        cls.inventory = os.path.join(cls.work, 'inventory.json')
        with open(cls.inventory, 'w') as stream:
            json.dump(inventory, stream)

    @classmethod
    def start_simulator(cls, simulator, args):
        process = subprocess.Popen([simulator] + args, stdout=subprocess.PIPE, text=True)
        cls.simulators.append(process)
        count = int(args[args.index('--count') + 1]) if '--count' in args else 1
        return [process.stdout.readline().strip() for _ in range(count)]

    @classmethod
    def tearDownClass(cls):
        for process in cls.simulators:
            process.terminate()
            process.wait(timeout=30)
        shutil.rmtree(cls.work, ignore_errors=True)

    def play(self, *options):
        started = time.monotonic()
        run = subprocess.run(['ansible-playbook', '-i', self.inventory, 'tervane.q7.stage_gateways'] + list(options),
                             env=self.env, cwd=self.work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True, timeout=600)
        sys.stderr.write('\n$ ansible-playbook -i inventory.json tervane.q7.stage_gateways %s   (%.1f s)\n%s'
                         % (' '.join(options), time.monotonic() - started, run.stdout))
        return run, recap(run.stdout)

    def gateway(self, host, *args):
        run = subprocess.run([self.real_tool, '--json', '--port', self.ports[host]] + list(args),
                             stdout=subprocess.PIPE, text=True, timeout=120)
        return json.loads(run.stdout)

    def apn(self, host):
        return self.gateway(host, 'settings', 'get', 'mobile_simple/apn')['settings']['mobile_simple/apn']

    def test_1_check_diff_shows_changes_and_leaves_gateways_untouched(self):
        run, hosts = self.play('--check', '--diff', '-v')
        # A check only reads, so the gateway that refuses changes passes it too. Two tasks
        # change: the firmware, and the one profile of settings and Python programs.
        for host in GOOD_HOSTS + (BAD_HOST,):
            self.assertEqual(hosts[host]['failed'], 0, host)
            self.assertEqual(hosts[host]['changed'], 2, host)
        self.assertIn('-setting mobile_simple/apn: internet.tervane\n', run.stdout)
        self.assertIn('+setting mobile_simple/apn: fleet.example\n', run.stdout)
        self.assertIn('+firmware firmware: 2.5.0.3', run.stdout)
        self.assertIn('-python-delete xbee.py: present\n', run.stdout)
        self.assertIn('+python-delete xbee.py: absent\n', run.stdout)
        self.assertIn('+python-upload main.py: ', run.stdout)
        self.assertIn('+setting python/state: on\n', run.stdout)
        self.assertIn('setting mobile_simple/password: ******** (changes)', run.stdout)
        self.assertNotIn(SECRET, run.stdout)
        for host in GOOD_HOSTS:
            self.assertEqual(self.apn(host), 'internet.tervane', host)
            self.assertEqual(self.gateway(host, 'info')['firmwareVersion'], '2.4.1.7', host)

    def test_2_stage_changes_every_gateway_and_fails_only_the_bad_one(self):
        run, hosts = self.play()
        for host in GOOD_HOSTS:
            self.assertEqual(hosts[host]['failed'], 0, host)
            self.assertEqual(hosts[host]['changed'], 2, host)
            self.assertEqual(self.apn(host), 'fleet.example', host)
        self.assertEqual(hosts[BAD_HOST]['failed'], 1)
        self.assertRegex(run.stdout, r'fatal: \[%s\]: FAILED!.*"msg": "[^"]*the device refused' % BAD_HOST)
        self.assertNotIn(SECRET, run.stdout)
        python = self.gateway('gw1', 'python', 'ls')
        self.assertNotIn('xbee.py', json.dumps(python))
        # The program was uploaded in the same run that turned its auto-start on.
        sizes = dict((entry.get('name'), entry.get('size')) for entry in python.get('files', []))
        self.assertEqual(sizes.get('main.py'), len(MAIN_PY))

    def test_3_stage_again_changes_nothing(self):
        run, hosts = self.play()
        for host in GOOD_HOSTS:
            self.assertEqual(hosts[host]['failed'], 0, host)
            self.assertEqual(hosts[host]['changed'], 0, host)
            self.assertEqual(hosts[host]['ok'], 4, host)


class BenchLoop(unittest.TestCase):
    """One staging host with three gateways: stage_bench finds them with q7_devices and
    loops q7_profile over them, one record line each."""

    GATEWAYS = 3

    @classmethod
    def setUpClass(cls):
        tarball_dir, real_tool, simulator = (os.path.abspath(arg) for arg in ARGS)
        cls.work = tempfile.mkdtemp(prefix='q7-ansible-bench-')
        collections = os.path.join(cls.work, 'collections')
        install_collection(tarball_dir, collections)
        cls.env = ansible_environment(collections)
        cls.real_tool = real_tool
        cls.simulator = subprocess.Popen([simulator, '--count', str(cls.GATEWAYS), '--link', cls.work + '/q7'],
                                         stdout=subprocess.PIPE, text=True)
        cls.ports = [cls.simulator.stdout.readline().strip() for _ in range(cls.GATEWAYS)]
        tool = os.path.join(cls.work, 'tervane-q7')
        with open(tool, 'w') as stream:
            stream.write('#!/bin/sh\nexec "%s" --speed-up %d "$@"\n' % (real_tool, SPEED_UP))
        os.chmod(tool, 0o755)
        profile = os.path.join(cls.work, 'fleet.yaml')
        with open(profile, 'w') as stream:
            stream.write('settings:\n  mobile_simple/apn: bench.example\n')
        cls.record = os.path.join(cls.work, 'inventory.csv')
        # The simulated gateways are pseudo-terminals, not USB devices: the bench names its
        # ports, as one behind ser2net would.
        inventory = dict(q7_benches=dict(hosts=dict(bench1=dict(q7_ports=cls.ports)), vars=dict(
            ansible_connection='local', ansible_python_interpreter=sys.executable,
            q7_tool=tool, q7_profile=profile, q7_record=cls.record)))
        cls.inventory = os.path.join(cls.work, 'inventory.json')
        with open(cls.inventory, 'w') as stream:
            json.dump(inventory, stream)

    @classmethod
    def tearDownClass(cls):
        cls.simulator.terminate()
        cls.simulator.wait(timeout=30)
        shutil.rmtree(cls.work, ignore_errors=True)

    def play(self, *options):
        run = subprocess.run(['ansible-playbook', '-i', self.inventory, 'tervane.q7.stage_bench'] + list(options),
                             env=self.env, cwd=self.work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True, timeout=600)
        sys.stderr.write('\n$ ansible-playbook -i inventory.json tervane.q7.stage_bench %s\n%s'
                         % (' '.join(options), run.stdout))
        return run, recap(run.stdout)

    def gateway(self, port, *args):
        run = subprocess.run([self.real_tool, '--json', '--port', port] + list(args),
                             stdout=subprocess.PIPE, text=True, timeout=120)
        return json.loads(run.stdout)

    def test_the_loop_stages_every_gateway_by_imei_and_records_each(self):
        imeis = [self.gateway(port, 'info')['imei'] for port in self.ports]
        self.assertEqual(len(set(imeis)), self.GATEWAYS)
        run, hosts = self.play()
        self.assertEqual(hosts['bench1']['failed'], 0)
        self.assertEqual(hosts['bench1']['changed'], 1)
        for port, imei in zip(self.ports, imeis):
            self.assertIn('(item=%s on %s)' % (imei, port), run.stdout)
            settings = self.gateway(port, 'settings', 'get', 'mobile_simple/apn')['settings']
            self.assertEqual(settings['mobile_simple/apn'], 'bench.example', port)
        with open(self.record) as stream:
            lines = stream.read().splitlines()
        self.assertEqual(len(lines), 1 + self.GATEWAYS, lines)
        imei = lines[0].split(',').index('imei')
        self.assertEqual(sorted(line.split(',')[imei] for line in lines[1:]), sorted(imeis))


class DevicesAndVars(unittest.TestCase):
    """What q7_devices makes of the tool's devices document, and the --var arguments
    q7_profile makes of its vars."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='q7-ansible-devices-')
        collections = os.path.join(cls.work, 'collections')
        install_collection(ARGS[0], collections)
        sys.path.insert(0, collections)
        import importlib
        cls.devices = importlib.import_module('ansible_collections.tervane.q7.plugins.modules.q7_devices')
        cls.profile = importlib.import_module('ansible_collections.tervane.q7.plugins.modules.q7_profile')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_gateways_are_those_that_answered_once_each(self):
        document = dict(devices=[
            dict(port='/dev/ttyACM0', serialNumber='Q7-1', busPath='1-1', maker='WAVECOM', answered=True,
                 imei='356938035643809', firmwareVersion='2.4.1.7'),
            dict(port='/dev/ttyACM1', serialNumber='Q7-2', busPath='1-2', maker='WAVECOM', answered=False,
                 imei='', firmwareVersion=''),
            # The same gateway again by another name of its port.
            dict(port='/dev/serial/by-id/usb-Q7-1', answered=True, imei='356938035643809'),
            dict(port='', answered=True, imei='356938035643817'),
            'not a row',
            dict(port='/dev/ttyACM2', answered=True, imei=None),
        ])
        gateways, unanswered = self.devices.gateways_of(document)
        self.assertEqual(gateways, [dict(imei='356938035643809', port='/dev/ttyACM0', serial_number='Q7-1',
                                         bus_path='1-1', maker='WAVECOM', firmware_version='2.4.1.7')])
        self.assertEqual(unanswered, ['/dev/ttyACM1', '/dev/ttyACM2'])
        self.assertEqual(self.devices.gateways_of({}), ([], []))

    class Failed(Exception):
        pass

    class Module(object):
        def __init__(self, values):
            self.params = dict(vars=values)

        def fail_json(self, msg, **kwargs):
            raise DevicesAndVars.Failed(msg)

    def test_vars_become_var_arguments(self):
        module = self.Module({'site': 'Mast 4 = north', 'server_port': 2101, '_id': ''})
        self.assertEqual(self.profile.var_arguments(module),
                         ['--var', '_id=', '--var', 'server_port=2101', '--var', 'site=Mast 4 = north'])
        self.assertEqual(self.profile.var_arguments(self.Module(None)), [])

    def test_bad_vars_are_refused(self):
        for values in ({'9site': 'x'}, {'site-name': 'x'}, {'a b': 'x'}, {'site': ['x']}, {'site': {'a': 1}},
                       {'site': True}, {'site': None}):
            with self.subTest(values):
                with self.assertRaises(self.Failed):
                    self.profile.var_arguments(self.Module(values))


class ModuleDocs(unittest.TestCase):
    """Every module documents itself in Ansible's form and imports cleanly."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='q7-ansible-docs-')
        collections = os.path.join(cls.work, 'collections')
        install_collection(ARGS[0], collections)
        cls.env = ansible_environment(collections)
        cls.root = os.path.join(collections, 'ansible_collections', 'tervane', 'q7')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_ansible_doc_shows_every_module(self):
        for module in MODULES:
            with self.subTest(module=module):
                run = subprocess.run(['ansible-doc', '--json', 'tervane.q7.' + module], env=self.env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)
                self.assertEqual(run.returncode, 0, run.stderr)
                doc = json.loads(run.stdout)['tervane.q7.' + module]['doc']
                self.assertTrue(doc['short_description'])
                # The shared options come from the collection's documentation fragment.
                for option in ('port', 'tool', 'timeout'):
                    self.assertIn(option, doc['options'])

    def test_modules_compile_and_import(self):
        sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.dirname(self.root))))
        import importlib
        for module in MODULES:
            with self.subTest(module=module):
                loaded = importlib.import_module('ansible_collections.tervane.q7.plugins.modules.' + module)
                self.assertTrue(callable(loaded.main))


class ProfileValues(unittest.TestCase):
    """The values q7_profile adds to those Ansible never shows, from the profile it builds:
    those of password and key paths, never an on or off."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='q7-ansible-values-')
        collections = os.path.join(cls.work, 'collections')
        install_collection(ARGS[0], collections)
        sys.path.insert(0, collections)
        import importlib
        cls.profile = importlib.import_module('ansible_collections.tervane.q7.plugins.modules.q7_profile')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    class Module(object):
        """What inline_profile reads of an AnsibleModule. Ansible itself hides the values
        given in secrets; no_log_values holds only what the module adds."""

        def __init__(self, names, params):
            self.params = dict((name, None) for name in names)
            self.params.update(params)
            self.no_log_values = set()

    CASES = (
        ('password in secrets', dict(secrets={'mobile_simple/password': 'pw-1'}), {'pw-1'}),
        ('password nested in settings', dict(settings={'mobile_simple': {'password': 'pw-2'}}), {'pw-2'}),
        ('key in radio', dict(radio={'radio/encryption_key': 'k-3'}), {'k-3'}),
        ('number under a key path', dict(secrets={'radio/link_key': 4711}), {'4711'}),
        ('empty password', dict(secrets={'mobile_simple/password': None}), set()),
        ('boolean under a key path', dict(settings={'tcp_server/state': True},
                                          secrets={'radio/encryption_key_enabled': True}), set()),
        ('boolean in secrets', dict(secrets={'ssh_server/state': False, 'mobile_simple/password': 'pw-4'}),
         {'pw-4'}),
        ('SIM PIN in settings', dict(settings={'mobile_simple/pin': '1234'}), {'1234'}),
        ('pin as a word of a path', dict(settings={'modem': {'sim_pin': 4321}}), {'4321'}),
        ('ping is no pin', dict(settings={'keepalive/ping_host': 'h.example', 'x/mapping': 'm'}), set()),
        ('plain settings', dict(settings={'mobile_simple/apn': 'fleet.example', 'tcp_server/port': 2102}), set()),
    )

    def test_hides_the_values_of_password_and_key_paths_but_no_on_or_off(self):
        for name, params, hidden in self.CASES:
            with self.subTest(name):
                module = self.Module(self.profile.INLINE, params)
                self.profile.inline_profile(module)
                self.assertEqual(module.no_log_values, hidden)


class ProfileCommandLine(unittest.TestCase):
    """The profile's path reaches tervane-q7 as a file, whatever its name."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='q7-ansible-line-')
        collections = os.path.join(cls.work, 'collections')
        install_collection(ARGS[0], collections)
        sys.path.insert(0, collections)
        import importlib
        cls.tool = importlib.import_module('ansible_collections.tervane.q7.plugins.module_utils.q7_tool')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    class Module(object):
        check_mode = False
        _diff = False

        def __init__(self):
            self.params = dict(tool=sys.executable, port=None, timeout=0)

    class Sent(Exception):
        pass

    def test_src_goes_after_double_dash_as_an_absolute_path(self):
        sent = []

        def run(tool, args):
            sent.append(list(args))
            raise self.Sent()

        original = self.tool.Q7Tool.run
        self.tool.Q7Tool.run = run
        here = os.getcwd()
        try:
            os.chdir(self.work)
            for name in ('-', '-odd.yaml', 'plain.yaml'):
                with self.subTest(name):
                    with self.assertRaises(self.Sent):
                        self.tool.run_apply(self.Module(), name)
                    self.assertEqual(sent[-1][-3:], ['apply', '--', os.path.join(os.getcwd(), name)])
        finally:
            os.chdir(here)
            self.tool.Q7Tool.run = original


if __name__ == '__main__':
    which = ARGS.pop(0)
    classes = dict(playbooks=StagingPlaybook, docs=ModuleDocs, values=ProfileValues, line=ProfileCommandLine,
                   bench=BenchLoop, devices=DevicesAndVars)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(classes[which])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
