// krovane_model.fx: the effect of the level made to show one model file. It
// lights as vek_Phong.fx does (per-pixel Phong, one point light per pass) and
// also shows the materials' alpha: a mask's fragments whose alpha is below
// its cutoff are not drawn, and blended subsets are mixed over what is behind
// them. The alpha is the material's diffuse alpha times texture stage 0's.
//
// The engine draws every object once per light: the opaque and masked
// subsets through "vek_Phong" (the first light, with the ambient term) and
// "vek_Phong_alpha" (each further light, added); then, after every other
// draw of the frame, the blended subsets through "vek_Phong_blend" (the first
// light) and "vek_Phong_alpha_blend" (each further light, added in the same
// share). Blended subsets write no depth. All cull back faces, as vek_Phong.fx
// does. Parameters, set by the engine:
//
//   View_Pos             eye position in world space (w = 1)
//   mat_World_View_Proj  object space to clip space
//   matWorld             object space to world space
//   LightPos             the light's position in world space (w = 1)
//   LightColor           the light's colour (rgb; a = 1)
//   LightFalloff         distance from the light at which it no longer lights anything
//   LightSpecular        sharpness of the highlight (the Phong exponent)
//   LightSpecular_Itens  strength of the highlight
//   LightAmbient         share of the surface colour shown without direct light
//   Attenuation          shape of the fall-off: the light's strength at distance d
//                        is (1 - d / LightFalloff) raised to this power
//   AlphaCutoff          before each subset: a mask's cutoff, 0 for the others

uniform vec4  View_Pos;
uniform mat4  mat_World_View_Proj;
uniform mat4  matWorld;
uniform vec4  LightPos;
uniform vec4  LightColor;
uniform float LightFalloff;
uniform float LightSpecular;
uniform float LightSpecular_Itens;
uniform float LightAmbient;
uniform float Attenuation;
uniform float AlphaCutoff;

VARYING vec3 worldPos;
VARYING vec3 worldNormal;
VARYING vec2 texCoord;

// The surface colour at this point with its alpha, and this light's diffuse
// and highlight on it. Shared text reaches both stages; only the fragment
// stages call these.
vec4 surfaceColor() { return MaterialDiffuse * texture(Texture0, texCoord); }

vec3 lightTerm(vec3 albedo) {
    vec3 toLight = LightPos.xyz - worldPos;
    float distance = length(toLight);
    float reach = clamp(1.0 - distance / max(LightFalloff, 1e-4), 0.0, 1.0);
    float strength = pow(reach, max(Attenuation, 0.0));
    vec3 n = normalize(worldNormal);
    vec3 l = toLight / max(distance, 1e-4);
    float lambert = max(dot(n, l), 0.0);
    vec3 v = normalize(View_Pos.xyz - worldPos);
    vec3 r = reflect(-l, n);
    float highlight = lambert > 0.0 ? pow(max(dot(r, v), 0.0), max(LightSpecular, 1.0)) : 0.0;
    return LightColor.rgb * strength * (albedo * lambert + LightSpecular_Itens * highlight);
}

vertex VS_Main {
    void main() {
        gl_Position = mat_World_View_Proj * vec4(inPosition, 1.0);
        worldPos = (matWorld * vec4(inPosition, 1.0)).xyz;
        worldNormal = mat3(matWorld) * inNormal;
        texCoord = inTexCoord;
    }
}

// The first light: ambient plus the light, with the surface's alpha for
// blending; what a mask cuts out is left undrawn.
fragment PS_Phong {
    out vec4 fragColor;
    void main() {
        vec4 surface = surfaceColor();
        if (surface.a < AlphaCutoff) discard;
        fragColor = vec4(surface.rgb * LightAmbient + lightTerm(surface.rgb), surface.a);
    }
}

// A further light: its contribution alone, added by the blending of the pass.
fragment PS_Phong_Add {
    out vec4 fragColor;
    void main() {
        vec4 surface = surfaceColor();
        if (surface.a < AlphaCutoff) discard;
        fragColor = vec4(lightTerm(surface.rgb), surface.a);
    }
}

technique vek_Phong {
    pass P0 {
        VertexShader = VS_Main;
        PixelShader = PS_Phong;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZWriteEnable = true;
        ZFunc = LessEqual;
        CullMode = CCW;
    }
}

technique vek_Phong_alpha {
    pass P0 {
        VertexShader = VS_Main;
        PixelShader = PS_Phong_Add;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = CCW;
    }
}

technique vek_Phong_blend {
    pass P0 {
        VertexShader = VS_Main;
        PixelShader = PS_Phong;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        BlendOp = Add;
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = CCW;
    }
}

technique vek_Phong_alpha_blend {
    pass P0 {
        VertexShader = VS_Main;
        PixelShader = PS_Phong_Add;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = CCW;
    }
}
