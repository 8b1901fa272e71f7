#!/usr/bin/python
# The facts of the Skellin Q7 gateway attached to the host, from tervane-q7 info.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: q7_facts
short_description: Facts of the Skellin Q7 gateway attached to the host
description:
  - Runs C(tervane-q7 --json info) on the host and returns what the gateway reports as
    the fact C(q7) - identity, modem and SIM facts, signal and firmware.
  - Only reads; nothing is changed on the gateway.
version_added: 1.0.0
author:
  - Tervane developer (@tervane)
extends_documentation_fragment:
  - tervane.q7.common
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
  facts:
    support: full
'''

EXAMPLES = r'''
- name: Read the gateway
  tervane.q7.q7_facts:

- name: Show its IMEI and firmware
  ansible.builtin.debug:
    msg: "{{ ansible_facts.q7.imei }} runs {{ ansible_facts.q7.firmware_version }}"

- name: A gateway on a given port, with the tool installed elsewhere
  tervane.q7.q7_facts:
    port: /dev/ttyACM1
    tool: /opt/tervane/bin/tervane-q7
'''

RETURN = r'''
ansible_facts:
  description: Facts of the gateway.
  returned: success
  type: complex
  contains:
    q7:
      description:
        - What the gateway reported, by the names of C(tervane-q7 --json info) in snake_case.
          Members the gateway did not answer are empty.
      returned: success
      type: dict
      sample:
        port: /dev/ttyACM0
        product: Skellin Q7
        model: Q7
        firmware_version: 2.4.1.7
        imei: "356938035643809"
        iccid: "89012601234567890128"
        imsi: "310260123456789"
        phone_number: "+15551230077"
        modem_type: WAVECOM MODEM
        modem_revision: R7.54.0.201806141515.FXT009 2130196 061418 15:15
        signal: {quality: 20, dbm: -73, bars: 5, bars_shown: 5}
        mobile_ip_address: 10.72.14.203
        link_up: true
        radio_configured: true
        state_read: true
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tervane.q7.plugins.module_utils.q7_tool import (
    Q7Tool, common_argument_spec, gateway_members)


def main():
    module = AnsibleModule(argument_spec=common_argument_spec(), supports_check_mode=True)
    run = Q7Tool(module).run(['info'])
    if not run.ok:
        module.fail_json(msg=run.failure_message(), exit_status=run.rc)
    module.exit_json(changed=False, ansible_facts=dict(q7=gateway_members(run.document)))


if __name__ == '__main__':
    main()
