#!/usr/bin/python
# The firmware of the gateway attached to the host, or of its Ravlo radio: installed only when
# the version differs.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: q7_firmware
short_description: Firmware of a Skellin Q7 gateway or of its Ravlo radio
description:
  - Installs a firmware image when the gateway reports another version than the one
    wanted; when it already runs that version nothing is sent besides reads.
  - The upload is verified by MD5 digest before the install, and the install waits through
    the gateway's restart; afterwards the gateway must report the wanted version, or the
    task fails.
  - Runs C(tervane-q7 apply) with a profile of this one firmware.
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
    details: The version before and after.
options:
  version:
    description: The version the gateway (or its radio) should report.
    type: str
    required: true
  image:
    description: The firmware image on the host that gives I(version).
    type: path
    required: true
  target:
    description: The gateway's own firmware, or its Ravlo radio's.
    type: str
    choices: [gateway, radio]
    default: gateway
'''

EXAMPLES = r'''
- name: Firmware 2.5.0.3
  tervane.q7.q7_firmware:
    version: 2.5.0.3
    image: /srv/images/q7-2.5.0.3.bin

- name: Ravlo radio firmware
  tervane.q7.q7_firmware:
    version: "0x2270"
    image: /srv/images/ravlo-2270.ebl
    target: radio
'''

RETURN = r'''
firmware_before:
  description: The gateway's firmware version before the run.
  returned: always
  type: str
firmware_after:
  description: The gateway's firmware version after the run.
  returned: always
  type: str
radio_firmware:
  description: The radio's firmware version after the run.
  returned: always
  type: str
changes:
  description: The install made, or with check mode the one that would be.
  returned: always
  type: list
  elements: dict
  sample:
    - {kind: firmware, path: firmware, before: 2.4.1.7, after: 2.5.0.3}
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tervane.q7.plugins.module_utils.q7_tool import (
    common_argument_spec, run_apply, write_profile)


def main():
    module = AnsibleModule(
        argument_spec=common_argument_spec(
            version=dict(type='str', required=True),
            image=dict(type='path', required=True),
            target=dict(type='str', choices=['gateway', 'radio'], default='gateway'),
        ),
        supports_check_mode=True,
    )
    params = module.params
    key = 'firmware' if params['target'] == 'gateway' else 'radio-firmware'
    profile = {key: dict(version=params['version'], image=os.path.abspath(params['image']))}
    what = 'the gateway' if params['target'] == 'gateway' else 'its radio'
    run_apply(module, write_profile(module, profile),
              unchanged_msg='%s already runs %s' % (what, params['version']))


if __name__ == '__main__':
    main()
