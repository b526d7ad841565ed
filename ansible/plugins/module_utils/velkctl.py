# -*- coding: utf-8 -*-
# Running velkctl for the modules of this collection: the command, the executor device, and the
# meaning of velkctl's exit statuses. The modules never talk to the executor themselves.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import re

# velkctl's exit statuses (its README): 1 refused, 2 bad usage, 3 executor unreachable.
REFUSED = 1
UNREACHABLE = 3

# One planned or applied call a line: "+ cluster web", "~ port web:80 sticky-time 0 -> 60",
# "- server web:80 s3". Other lines (summaries, the library's own trace) are not calls.
_CALL_LINE = re.compile(r'^[-+~] \S')

VELKCTL_ARGS = dict(
    velkctl=dict(type='path'),
    device=dict(type='path'),
)


def call_lines(text):
    """The call lines of velkctl's output, in its order."""
    return [line for line in text.splitlines() if _CALL_LINE.match(line)]


class Velkctl(object):
    """velkctl on the managed host, against the executor the module's options name."""

    def __init__(self, module):
        self.module = module
        self.command = module.params['velkctl'] or module.get_bin_path('velkctl', required=True)
        self.environ = {}
        if module.params['device']:
            self.environ['VELKLB_DEVICE'] = module.params['device']

    def run(self, *args):
        """Runs velkctl with args; returns (rc, stdout, stderr)."""
        return self.module.run_command([self.command] + list(args), environ_update=self.environ)

    def fail(self, args, rc, out, err, **result):
        """Fails the task with velkctl's own sentence: its standard error, else its last line."""
        sentences = [line for line in err.splitlines() if line.strip()]
        if not sentences:
            sentences = [line for line in out.splitlines() if line.strip()][-1:]
        msg = '\n'.join(sentences) or 'velkctl %s exited with status %d' % (args[0], rc)
        self.module.fail_json(msg=msg, rc=rc, cmd=[self.command] + list(args),
                              stdout=out, stderr=err, unreachable=rc == UNREACHABLE, **result)
