; ---------------------------------------------------------------------------------------------
; SID replay routine by Ulrik Brandvold, for the intro tunes of The Quellmark.
;
; One tune image = PSID header + this driver + the music data that sidscore generates from a
; score (music.inc). The build passes the header values on the ca65 command line:
;   LOAD, INIT, PLAY, SONGS, STARTSONG, SPEED   (and CIA_TIMER=1 for a CIA-timed tune)
;
; Entry points: sid_init (A = song number), sid_play (once per 1/50 s). The linker places the
; two jump stubs INITSTUB and PLAYSTUB at the addresses the header names.
;
; Music model, per voice: an order list of patterns (with transposition and a loop jump), a
; pattern of events (note, rest, hold, instrument, arpeggio, duration), and an instrument
; giving the envelope, a wave program (control byte + note per frame), pulse-width sweep,
; vibrato, hard restart and an optional filter sweep.
; ---------------------------------------------------------------------------------------------

        .include "music.inc"

SID     = $D400
ptr     = $FB                   ; two zero-page bytes, free on the target machine

; Pattern event bytes (must match sidscore.cpp).
EV_REST    = $60
EV_HOLD    = $61                ; keep sounding, release at the end
EV_HOLDTIE = $62                ; keep sounding, no release at the end
EV_TIE     = $63                ; prefix: the next note is not released at its end
EV_INSTR   = $80                ; $80-$9F
EV_ARP     = $A0                ; $A0-$BF, $A0 = arpeggio off
EV_DUR     = $C0                ; $C0-$FE: duration 1-63 rows
EV_END     = $FF

FL_HR      = $01                ; instrument flags: hard restart before the next note
FL_FILTER  = $02                ; route the voice through the filter and restart its sweep

FCUT_MIN   = $06
FCUT_MAX   = $B0

; The master volume, VOLUME, comes from the score (music.inc): each tune sets its own so that
; all twelve play equally loud. Never 15: a pulse edge through the high- or band-pass filter
; overshoots to about twice a voice's swing, and a synthesiser that wraps instead of clipping
; needs the headroom.

; ---------------------------------------------------------------------------------------------
        .segment "HEADER"
        .byte "PSID"
        .dbyt 2                 ; version
        .dbyt $007C             ; data offset
        .dbyt 0                 ; load address: taken from the first two data bytes
        .dbyt INIT, PLAY, SONGS, STARTSONG
        .dbyt 0, SPEED          ; 32-bit speed word
hdr_name:
        .byte TUNE_TITLE
        .res 32 - .strlen(TUNE_TITLE), 0
        .byte "Arvid Keldane"
        .res 32 - .strlen("Arvid Keldane"), 0
        .byte "2010 The Quellmark Staff"
        .res 32 - .strlen("2010 The Quellmark Staff"), 0
        .dbyt $0014             ; flags: PAL, 6581
        .byte 0, 0              ; relocation: none needed
        .byte 0, 0              ; reserved
        .word LOAD              ; load address, low byte first

        .segment "INITSTUB"
        jmp sid_init

        .segment "PLAYSTUB"
        jmp sid_play

; ---------------------------------------------------------------------------------------------
        .segment "DRIVER"

; Variables live inside the image so that nothing outside the payload is touched (the zero-page
; pointer aside). sid_init clears everything from state to state_end.
state:
tick:     .res 1                ; frames left in the current row
swing:    .res 1                ; which of the song's two row lengths comes next
newrow:   .res 1                ; 1 on the first frame of a row
speeds:   .res 2
fcut:     .res 1                ; filter cutoff (high byte)
fsweep:   .res 1                ; signed change per frame
fres:     .res 1                ; resonance in the high nibble
fmode:    .res 1                ; $10 low-pass, $20 band-pass, $40 high-pass
route:    .res 1                ; voices routed through the filter
tmp_rel:  .res 1
tmp_ad:   .res 1
tmp_sr:   .res 1
wnote:    .res 1
arpofs:   .res 1
flo:      .res 1
fhi:      .res 1
dlo:      .res 1
dhi:      .res 1
ordlo:    .res 3                ; order list read pointer
ordhi:    .res 3
patlo:    .res 3                ; pattern read pointer
pathi:    .res 3
transp:   .res 3
rowsleft: .res 3                ; rows left in the current event
dur:      .res 3                ; current event length in rows
relflag:  .res 3                ; release (gate off) at the end of the event
instr:    .res 3
arpsel:   .res 3
arpbeg:   .res 3                ; $FF = no arpeggio
arpidx:   .res 3
basenote: .res 3
waveidx:  .res 3
ctl:      .res 3
gate:     .res 3
pwlo:     .res 3
pwhi:     .res 3
pwspd:    .res 3
vibdel:   .res 3
vibcnt:   .res 3
vibdir:   .res 3
viblo:    .res 3
vibhi:    .res 3
state_end:

sidoff:   .byte 0, 7, 14
voicebit: .byte 1, 2, 4
endmark:  .byte EV_END          ; an empty pattern: the first fetch moves to the order list

; ---------------------------------------------------------------------------------------------
; init: A = song number. Unknown numbers play the first song.
sid_init:
        cmp #NUM_SONGS
        bcc :+
        lda #0
:       pha
        lda #0
        ldx #state_end - state - 1
:       sta state,x
        dex
        bpl :-
        ldx #$18
:       sta SID,x               ; every voice gated off, filter and volume cleared
        dex
        bpl :-
        pla
        sta tmp_rel
        asl
        tay                     ; Y = song * 2
        lda song_spd,y
        sta speeds
        lda song_spd+1,y
        sta speeds+1
        tya
        adc tmp_rel             ; carry is clear: song < 128
        tay                     ; Y = song * 3
        ldx #0
@voice: lda song_ord_lo,y
        sta ordlo,x
        lda song_ord_hi,y
        sta ordhi,x
        lda #<endmark
        sta patlo,x
        lda #>endmark
        sta pathi,x
        lda #1
        sta rowsleft,x
        sta dur,x
        lda #$FF
        sta arpbeg,x
        lda #8
        sta pwhi,x
        iny
        inx
        cpx #3
        bne @voice
        lda #VOLUME
        sta SID+$18
.if CIA_TIMER
        ; CIA-timed tune: program timer A for 50 calls per second on a PAL machine.
        lda #<19704
        sta $DC04
        lda #>19704
        sta $DC05
.endif
        rts

; ---------------------------------------------------------------------------------------------
; play: one frame.
sid_play:
        lda #0
        sta newrow
        lda tick
        bne :+
        ldx swing
        lda speeds,x
        sta tick
        txa
        eor #1
        sta swing
        inc newrow
:       dec tick
        ldx #2
:       jsr voice
        dex
        bpl :-
        ; filter sweep, then the filter and volume registers
        lda fsweep
        beq @fset
        bmi @fdown
        clc
        adc fcut
        bcs @fmax
        cmp #FCUT_MAX
        bcc @fstore
@fmax:  lda #FCUT_MAX
        bne @fstore
@fdown: clc
        adc fcut
        bcc @fmin
        cmp #FCUT_MIN
        bcs @fstore
@fmin:  lda #FCUT_MIN
@fstore:
        sta fcut
@fset:  lda #0
        sta SID+$15
        lda fcut
        sta SID+$16
        lda fres
        ora route
        sta SID+$17
        lda fmode
        ora #VOLUME
        sta SID+$18
        rts

; ---------------------------------------------------------------------------------------------
; One voice, X = voice number.
voice:
        lda newrow
        beq @hr
        dec rowsleft,x
        bne @hr
        jsr event
        jmp update
        ; Hard restart: two frames before the event ends, gate off (and for percussive
        ; instruments zero the envelope) so the next note starts from a clean attack.
@hr:    lda rowsleft,x
        cmp #1
        bne update
        lda tick
        cmp #1
        bne update
        lda relflag,x
        beq update
        lda #0
        sta gate,x
        ldy instr,x
        lda ins_flags,y
        and #FL_HR
        beq update
        ldy sidoff,x
        lda #0
        sta SID+5,y
        sta SID+6,y
        ; fall through

; Per-frame sound: wave program, arpeggio, pitch with vibrato, pulse sweep, registers.
update:
        ldy waveidx,x
        lda wt_ctl,y
        cmp #$FF
        bne :+
        lda wt_note,y           ; jump entry: continue at another step
        tay
        lda wt_ctl,y
:       sta ctl,x
        lda wt_note,y
        sta wnote
        iny
        tya
        sta waveidx,x

        lda #0
        sta arpofs
        ldy arpbeg,x
        cpy #$FF
        beq @noarp
        ldy arpidx,x
        lda arp_data,y
        cmp #$80
        bne :+
        ldy arpbeg,x            ; end of the arpeggio: start over
        lda arp_data,y
:       sta arpofs
        iny
        tya
        sta arpidx,x
@noarp:
        lda wnote
        bmi @abs
        clc
        adc basenote,x
        clc
        adc arpofs
        jmp :+
@abs:   and #$7F
:       cmp #96
        bcc :+
        lda #95
:       tay
        lda freq_lo,y
        sta flo
        lda freq_hi,y
        sta fhi

        ; vibrato: a triangle of +-(frequency >> depth shift) steps, after a delay
        ldy instr,x
        lda ins_vshift,y
        bne :+
        jmp @novib
:       lda vibdel,x
        beq :+
        dec vibdel,x
        jmp @novib
:       lda fhi
        sta dhi
        lda flo
        sta dlo
        lda ins_vshift,y
        tay
:       lsr dhi
        ror dlo
        dey
        bne :-
        lda vibdir,x
        bne @vdown
        clc
        lda viblo,x
        adc dlo
        sta viblo,x
        lda vibhi,x
        adc dhi
        sta vibhi,x
        jmp @vcount
@vdown: sec
        lda viblo,x
        sbc dlo
        sta viblo,x
        lda vibhi,x
        sbc dhi
        sta vibhi,x
@vcount:
        inc vibcnt,x
        ldy instr,x
        lda vibcnt,x
        cmp ins_vspeed,y
        bcc :+
        lda #0
        sta vibcnt,x
        lda vibdir,x
        eor #1
        sta vibdir,x
:       clc
        lda flo
        adc viblo,x
        sta flo
        lda fhi
        adc vibhi,x
        sta fhi
@novib:
        ; pulse width sweep between $0200 and $0E00
        lda pwspd,x
        beq @pwdone
        ldy #0
        ora #0
        bpl :+
        dey
:       clc
        adc pwlo,x
        sta pwlo,x
        tya
        adc pwhi,x
        sta pwhi,x
        lda pwspd,x
        bmi @pwneg
        lda pwhi,x
        cmp #$0E
        bcc @pwdone
        bcs @pwflip
@pwneg: lda pwhi,x
        cmp #$02
        bcs @pwdone
@pwflip:
        lda pwspd,x
        eor #$FF
        clc
        adc #1
        sta pwspd,x
@pwdone:
        ldy sidoff,x
        lda flo
        sta SID+0,y
        lda fhi
        sta SID+1,y
        lda pwlo,x
        sta SID+2,y
        lda pwhi,x
        sta SID+3,y
        lda ctl,x
        and #$FE
        ora gate,x
        sta SID+4,y
        rts

; ---------------------------------------------------------------------------------------------
; Read pattern events until one that takes time (note, rest, hold).
event:
        lda #1
        sta tmp_rel
@next:  jsr fetch
        cmp #EV_END
        bne :+
        jsr nextpattern
        jmp @next
:       cmp #EV_DUR
        bcc :+
        sbc #EV_DUR - 1
        sta dur,x
        jmp @next
:       cmp #EV_ARP
        bcc :+
        sbc #EV_ARP
        sta arpsel,x
        jmp @next
:       cmp #EV_INSTR
        bcc :+
        and #$1F
        sta instr,x
        jmp @next
:       cmp #EV_TIE
        bne :+
        lda #0
        sta tmp_rel
        beq @next
:       pha
        lda dur,x
        sta rowsleft,x
        lda tmp_rel
        sta relflag,x
        pla
        cmp #EV_REST
        bcc note
        bne :+
        lda #0                  ; rest
        sta gate,x
        rts
:       cmp #EV_HOLDTIE
        bne :+
        lda #0
        sta relflag,x
:       rts

; Start a note: A = note number before transposition.
note:
        clc
        adc transp,x
        sta basenote,x
        ldy arpsel,x
        lda arp_start,y
        sta arpbeg,x
        sta arpidx,x
        ldy instr,x
        lda ins_wave,y
        sta waveidx,x
        lda ins_vdelay,y
        sta vibdel,x
        lda ins_vspeed,y
        lsr
        sta vibcnt,x
        lda #0
        sta viblo,x
        sta vibhi,x
        sta vibdir,x
        lda ins_pw,y            ; 0 keeps the running pulse width
        beq :+
        sta pwhi,x
        lda #0
        sta pwlo,x
        lda ins_pwspeed,y
        sta pwspd,x
:       lda ins_flags,y
        and #FL_FILTER
        beq @nofilt
        lda ins_fcut,y
        sta fcut
        lda ins_fsweep,y
        sta fsweep
        lda ins_fres,y
        sta fres
        lda ins_fmode,y
        sta fmode
        lda route
        ora voicebit,x
        sta route
        jmp :+
@nofilt:
        lda voicebit,x
        eor #$FF
        and route
        sta route
:       lda ins_ad,y
        sta tmp_ad
        lda ins_sr,y
        sta tmp_sr
        ldy sidoff,x
        lda tmp_ad
        sta SID+5,y
        lda tmp_sr
        sta SID+6,y
        lda #1
        sta gate,x
        rts

; Next entry of the order list: transpositions and loop jumps, then a pattern.
nextpattern:
        jsr ordfetch
        cmp #$FF
        bne :+
        jsr ordfetch            ; loop: the next two bytes are the new read address
        pha
        jsr ordfetch
        sta ordhi,x
        pla
        sta ordlo,x
        jmp nextpattern
:       cmp #$C0
        bcc :+
        sbc #$E0                ; $C0-$FE: transposition -32..+30
        sta transp,x
        jmp nextpattern
:       tay
        lda pat_lo,y
        sta patlo,x
        lda pat_hi,y
        sta pathi,x
        rts

; Read one byte at the voice's pattern (fetch) or order list (ordfetch) pointer and advance it.
fetch:
        lda patlo,x
        sta ptr
        lda pathi,x
        sta ptr+1
        ldy #0
        lda (ptr),y
        inc patlo,x
        bne :+
        inc pathi,x
:       rts

ordfetch:
        lda ordlo,x
        sta ptr
        lda ordhi,x
        sta ptr+1
        ldy #0
        lda (ptr),y
        inc ordlo,x
        bne :+
        inc ordhi,x
:       rts
