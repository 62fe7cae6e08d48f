// Resource ids of the sample application's own resources (sample.rc).
#pragma once

#define IDD_SAMPLE_WAITING 100 // the dialog that ModalDialog=1 keeps open
