#!/usr/bin/python
# Makes the gateway attached to the host match a profile, through tervane-q7 apply.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: q7_profile
short_description: Make a Skellin Q7 gateway match a profile
description:
  - Runs C(tervane-q7 apply) on the host. The tool reads the gateway, works out what
    differs from the profile and changes only that - all settings in one apply, firmware
    only when the version differs, Python files only when their MD5 digest differs - then
    checks that the gateway holds the profile.
  - The profile is a file on the host (I(src)), or given inline by the other options,
    which take the profile file's keys.
  - Values of settings whose path says password, key or pin are never shown, in the result or
    in the diff. Put them in I(secrets) to keep them out of the host's system log as well.
version_added: 1.0.0
author:
  - Tervane developer (@tervane)
extends_documentation_fragment:
  - tervane.q7.common
attributes:
  check_mode:
    support: full
    details: Runs C(tervane-q7 apply --check), which only reads the gateway.
  diff_mode:
    support: full
    details: Each change as one line C(KIND PATH VALUE) before and after.
options:
  src:
    description:
      - A profile file on the host (YAML or JSON), as C(tervane-q7 apply) reads it; file
        names in it are taken from its folder.
      - Excludes the inline options.
    type: path
  settings:
    description:
      - "Settings by setting path (as C(tervane-q7 settings get) shows them) to values;
        a mapping under a step adds steps (C(mobile_simple: {apn: x}))."
      - C(true) and C(false) are sent as C(on) and C(off); numbers as their text.
    type: dict
  secrets:
    description:
      - Settings like I(settings), for passwords and keys; their values are never logged.
    type: dict
  radio:
    description:
      - Ravlo radio settings by path (C(radio/node_id)) to values.
    type: dict
  firmware:
    description:
      - The firmware the gateway should report, and the image on the host that gives it.
    type: dict
    suboptions:
      version:
        description: The version the gateway should report.
        type: str
        required: true
      image:
        description: The firmware image on the host.
        type: path
        required: true
  radio_firmware:
    description:
      - The Ravlo radio firmware the gateway should report, and the image that gives it.
    type: dict
    suboptions:
      version:
        description: The version the radio should report (C(0x2270)).
        type: str
        required: true
      image:
        description: The radio firmware image on the host.
        type: path
        required: true
  python:
    description:
      - The gateway's Python files and their auto-start.
    type: dict
    suboptions:
      present:
        description: Files on the host that must be on the gateway under their own names.
        type: list
        elements: path
        default: []
      absent:
        description: Names of files that must not be on the gateway.
        type: list
        elements: str
        default: []
      autostart:
        description: Whether the gateway starts a Python program, and which.
        type: dict
        suboptions:
          enabled:
            description: Start a program when the gateway starts.
            type: bool
            required: true
          command:
            description: The program and its arguments (C(main.py)).
            type: str
  record:
    description:
      - A CSV file on the host to which one line per run is appended - time, port, IMEI,
        ICCID, IMSI, product, firmware before and after, profile digest, changed, result.
    type: path
'''

EXAMPLES = r'''
- name: Stage the gateway from a profile file
  tervane.q7.q7_profile:
    src: /etc/tervane/fleet.yaml

- name: Stage the gateway from inline values
  tervane.q7.q7_profile:
    settings:
      mobile_simple:
        apn: fleet.example
      tcp_server/state: true
      tcp_server/port: 2101
    secrets:
      mobile_simple/password: "{{ vault_mobile_password }}"
    radio:
      radio/node_id: "{{ inventory_hostname }}"
    python:
      present: [/opt/fleet/main.py]
      absent: [xbee.py]
      autostart: {enabled: true, command: main.py}
    record: /var/lib/tervane/inventory.csv
'''

RETURN = r'''
changes:
  description: What changed, or with check mode what would change.
  returned: always
  type: list
  elements: dict
  sample:
    - {kind: setting, path: mobile_simple/apn, before: internet.tervane, after: fleet.example}
    - {kind: python-upload, path: main.py, before: 840409300d0ddb3df9e9f125552b5ea0, after: 8a5ecef8d53450221eb33e3b68e1469a}
failures:
  description: What the gateway did not take or keep, one line each.
  returned: always
  type: list
  elements: str
port:
  description: The gateway's port.
  returned: always
  type: str
imei:
  description: The gateway's IMEI.
  returned: always
  type: str
firmware_before:
  description: The firmware version before the run.
  returned: always
  type: str
firmware_after:
  description: The firmware version after the run.
  returned: always
  type: str
radio_firmware:
  description: The Ravlo radio's firmware version.
  returned: always
  type: str
exit_status:
  description: The exit status of tervane-q7.
  returned: always
  type: int
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tervane.q7.plugins.module_utils.q7_tool import (
    common_argument_spec, is_secret_path, run_apply, write_profile)

INLINE = ('settings', 'secrets', 'radio', 'firmware', 'radio_firmware', 'python')


def setting_values(values, module, prefix=''):
    """Settings as the tool reads them: texts, with on/off for booleans. Values under
    password, key or pin paths join the values Ansible never shows, but for booleans: hiding
    their on or off would hide every on and off in the result."""
    converted = {}
    for key, value in (values or {}).items():
        path = '%s/%s' % (prefix, key) if prefix else str(key)
        if isinstance(value, dict):
            converted[key] = setting_values(value, module, path)
            continue
        secret = is_secret_path(path) and not isinstance(value, bool)
        if isinstance(value, bool):
            value = 'on' if value else 'off'
        elif value is None:
            value = ''
        elif not isinstance(value, str):
            value = str(value)
        if secret and value:
            module.no_log_values.add(value)
        converted[key] = value
    return converted


def image(part):
    return dict(version=part['version'], image=os.path.abspath(part['image']))


def inline_profile(module):
    params = module.params
    profile = {}
    settings = setting_values(params['settings'], module)
    # Ansible hides every value given in secrets itself, nested ones too.
    secrets = setting_values(params['secrets'], module)
    settings.update(secrets)
    if settings:
        profile['settings'] = settings
    if params['radio']:
        profile['radio'] = setting_values(params['radio'], module)
    if params['firmware']:
        profile['firmware'] = image(params['firmware'])
    if params['radio_firmware']:
        profile['radio-firmware'] = image(params['radio_firmware'])
    python = params['python']
    if python:
        part = {}
        if python['present']:
            part['present'] = [os.path.abspath(path) for path in python['present']]
        if python['absent']:
            part['absent'] = list(python['absent'])
        if python['autostart']:
            autostart = dict(enabled=python['autostart']['enabled'])
            if python['autostart']['command'] is not None:
                autostart['command'] = python['autostart']['command']
            part['autostart'] = autostart
        if part:
            profile['python'] = part
    return profile


def main():
    module = AnsibleModule(
        argument_spec=common_argument_spec(
            src=dict(type='path'),
            settings=dict(type='dict'),
            secrets=dict(type='dict', no_log=True),
            radio=dict(type='dict'),
            firmware=dict(type='dict', options=dict(
                version=dict(type='str', required=True),
                image=dict(type='path', required=True))),
            radio_firmware=dict(type='dict', options=dict(
                version=dict(type='str', required=True),
                image=dict(type='path', required=True))),
            python=dict(type='dict', options=dict(
                present=dict(type='list', elements='path', default=[]),
                absent=dict(type='list', elements='str', default=[]),
                autostart=dict(type='dict', options=dict(
                    enabled=dict(type='bool', required=True),
                    command=dict(type='str'))))),
            record=dict(type='path'),
        ),
        mutually_exclusive=[('src', inline) for inline in INLINE],
        required_one_of=[('src',) + INLINE],
        supports_check_mode=True,
    )
    if module.params['src']:
        profile_path = module.params['src']
    else:
        profile_path = write_profile(module, inline_profile(module))
    extra = ['--record', module.params['record']] if module.params['record'] else []
    run_apply(module, profile_path, extra)


if __name__ == '__main__':
    main()
