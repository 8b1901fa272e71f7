#!/usr/bin/python
# One Python file on the gateway attached to the host: there with the host file's bytes, or gone.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: q7_python_file
short_description: A Python file on a Skellin Q7 gateway, present or absent
description:
  - Keeps one file in the gateway's C(/WEB/python) folder as the host's copy, or keeps it
    off the gateway.
  - Present compares the gateway's MD5 digest of the file with the host file's and uploads
    only when they differ; the upload is verified by the digest afterwards. Absent deletes
    the file only when the gateway lists it.
  - Runs C(tervane-q7 apply) with a profile of this one file.
version_added: 1.0.0
author:
  - Tervane developer (@tervane)
extends_documentation_fragment:
  - tervane.q7.common
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
    details: The file's MD5 digest before and after, or C(present) and C(absent).
options:
  src:
    description:
      - The file on the host. Required when I(state=present).
    type: path
  name:
    description:
      - The file's name on the gateway. Defaults to the name of I(src); required when
        I(state=absent).
    type: str
  state:
    description: Whether the file must be on the gateway.
    type: str
    choices: [present, absent]
    default: present
'''

EXAMPLES = r'''
- name: The program the gateway starts
  tervane.q7.q7_python_file:
    src: /opt/fleet/main.py

- name: Under another name on the gateway
  tervane.q7.q7_python_file:
    src: /opt/fleet/report-v2.py
    name: sensor_report.py

- name: An old module must go
  tervane.q7.q7_python_file:
    name: xbee.py
    state: absent
'''

RETURN = r'''
changes:
  description: The upload or deletion made, or with check mode the one that would be.
  returned: always
  type: list
  elements: dict
  sample:
    - {kind: python-upload, path: main.py, before: 840409300d0ddb3df9e9f125552b5ea0, after: 8a5ecef8d53450221eb33e3b68e1469a}
port:
  description: The gateway's port.
  returned: always
  type: str
'''

import os
import shutil

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tervane.q7.plugins.module_utils.q7_tool import (
    common_argument_spec, run_apply, write_profile)


def main():
    module = AnsibleModule(
        argument_spec=common_argument_spec(
            src=dict(type='path'),
            name=dict(type='str'),
            state=dict(type='str', choices=['present', 'absent'], default='present'),
        ),
        required_if=[('state', 'present', ('src',)), ('state', 'absent', ('name',))],
        supports_check_mode=True,
    )
    params = module.params
    name = params['name']
    if name is not None and (not name or '/' in name or name in ('.', '..')):
        module.fail_json(msg="name wants a file name without '/', not %r" % name)

    if params['state'] == 'absent':
        python = dict(absent=[name])
    else:
        src = os.path.abspath(params['src'])
        if not os.path.isfile(src):
            module.fail_json(msg='%s is not a readable file on this host' % src)
        # The gateway keeps the file under its local name: another name is a copy so named.
        if name and name != os.path.basename(src):
            renamed = os.path.join(module.tmpdir, name)
            shutil.copyfile(src, renamed)
            src = renamed
        python = dict(present=[src])
    run_apply(module, write_profile(module, dict(python=python)))


if __name__ == '__main__':
    main()
